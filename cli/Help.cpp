#include <map>

#include "cli/Options.h"

namespace {

constexpr const char* ROUTE_HELP = R"(Route (one of them is required)
  --host ADDRESS[:PORT]  TCP to a LAN gateway; PORT (1-65535) defaults to 10003.
                         A name may resolve to IPv4 or IPv6 addresses, tried in
                         turn; an IPv6 address with a port is written [ADDRESS]:PORT.
  --serial DEVICE        a serial port by its device path, e.g. /dev/ttyUSB0
                         (on Windows its name, e.g. COM7)
Common options
  -n, --node LIST        node numbers 0-254: one number, or a list with ranges
                         such as 1-5,7 (required, except for scan)
  -t, --timeout MS       wait for each reply at most MS milliseconds
                         (default 10000; scan: 300)
  --json                 one JSON object per unit and line instead of text
  --trace FILE           write every frame sent and received to FILE
  -h, --help             this text; COMMAND --help for one command
  -V, --version          the version of velkorctl
)";

constexpr const char* PROGRAM_HELP =
    R"(Usage: velkorctl COMMAND --host ADDRESS[:PORT] | --serial DEVICE [--node LIST] [OPTION]...
Configures and reads the pulse counters of digital-I/O units from a shell: the
operations of the Velkor window, for one unit or many behind one gateway.

Commands
  identify   model name, ID and number of pulse inputs of each unit
  settings   the pulse-count settings of each unit, in words and values
  set        change some settings, keeping the rest as the unit holds them
  start      start counting
  stop       stop counting
  counts     read the counts (once, or repeatedly with --watch)
  scan       list the nodes that answer on the route

)";

constexpr const char* EXIT_HELP = R"(
Each node is answered exactly or fails on its own (its reason on standard
error), and the command goes on with the next node.
Exit status: 0 success; 1 a node failed (no answer, a malformed reply, a lost
connection), nothing answered a scan, or standard output could not be written;
2 bad usage (nothing is sent); 3 a unit was refused (a model without pulse
inputs, inputs the unit lacks, or settings the encoder checks refuse); 130
interrupted by Ctrl-C (a watch ends normally: 0 or 1). With several nodes, the
highest status of any node.
)";

const std::map<std::string, std::string> COMMAND_HELP = {
    {"identify", R"(Usage: velkorctl identify ROUTE --node LIST [--json]
Asks each unit for its model and ID ("MD") and prints the model name, the ID and
the number of pulse inputs; a model without pulse inputs is shown with the
window's message beside it. Every other command refuses such a unit (status 3).
)"},
    {"settings", R"(Usage: velkorctl settings ROUTE --node LIST [--json]
Identifies each unit and reads its pulse-count settings ("PY", "PH" for each
input, "PP"): counting mode (off, single, x2, x4), clear signal (Z phase on DI3),
the edge of each input, the counting period, the debounce filter and whether
the unit is counting. Each is shown in the words that set takes, the window's
text beside it. With --json each setting is an object: value, word (null for a
value outside the list), display (the window's text) and raw (the parameter
character it travels as); that line is a file for set --from.
)"},
    {"set", R"(Usage: velkorctl set ROUTE --node LIST SETTING... [--force] [--json]
       velkorctl set ROUTE --node LIST --from FILE [--counting on|off] [--force]
Reads each unit's settings, changes those given and writes them back ("PC" for
each input, then "PU"); what is not given keeps the unit's value. Nothing is
written unless every setting was read and decoded.
  --mode off|single|x2|x4       counting mode (or its value 0-3)
  --clear on|off                clear signal: Z phase on DI3 (two-phase modes)
  --edge DIn=off|rising|falling edge of input n (or its value 0-2); repeatable
  --period start-stop|1s|10s|1m|10m
                                counting period (or its value 0-4)
  --debounce none|4ms|6ms|...|20ms
                                debounce filter (or the unit's value 0-10); the
                                two-phase modes always write none, as the window does
  --counting on|off             start or stop counting after the write
  --from FILE                   the settings of one unit, as settings --json
                                prints them: each is written as its raw code,
                                so a copy writes the very bytes read; the
                                counting state is not copied
  --force                       write even though the clear signal is on while
                                DI3 does not count (the window's warning)
The encoder checks of the window apply: in the two-phase modes DI1 and DI2 (and
DI4 and DI5 on a five-input unit) count only together, otherwise nothing is
written and the status is 3; so is a unit without an input that is named.
After the write the settings are read back and printed as the unit holds them.
A write that fails or is interrupted says which frames were acknowledged,
which were sent without an answer (the unit may have applied them) and which
were not sent.
)"},
    {"start", R"(Usage: velkorctl start ROUTE --node LIST [--json]
Identifies each unit and starts its counting ("PS").
)"},
    {"stop", R"(Usage: velkorctl stop ROUTE --node LIST [--json]
Identifies each unit and stops its counting ("PS").
)"},
    {"counts",
     R"(Usage: velkorctl counts ROUTE --node LIST [--watch SECONDS [--rounds N]] [--json|--csv]
Identifies each unit, reads its settings and then its counts ("PG"): one count
per counting input in single-phase use (DI1 to DI5), one per encoder pair in
the two-phase modes (DI1+DI2, DI4+DI5), as signed 32-bit numbers.
  --watch SECONDS   read again every SECONDS (1-3600) until Ctrl-C, which ends
                    the watch with a summary on standard error (rounds, failed
                    reads per node); a failed node is a row of its own and is
                    tried again next round; a lost connection is opened again
                    after 1, 2, 4 ... s (at most SECONDS)
  --rounds N        with --watch: stop after N rounds
  --csv             lines "time,node,input,count,error" with ISO 8601 local
                    time; a failed node's row has only time, node and error
)"},
    {"scan", R"(Usage: velkorctl scan ROUTE [--node LIST] [--timeout MS] [--json]
Sends "MD" to every node of LIST (default 0-254) and lists those that answer,
with model name, ID and number of pulse inputs. Each node gets --timeout
milliseconds (default 300) to answer. Progress goes to standard error when it
is a terminal. Status 1 when no node answered.
)"},
};

}  // namespace

std::string ProgramHelp() {
    return std::string(PROGRAM_HELP) + ROUTE_HELP + EXIT_HELP;
}

std::optional<std::string> CommandHelp(const std::string& command) {
    const auto help = COMMAND_HELP.find(command);
    if (help == COMMAND_HELP.end()) return std::nullopt;
    return help->second + "\n" + ROUTE_HELP + EXIT_HELP;
}

std::string VersionText() {
    return std::string("velkorctl ") + VELKORCTL_VERSION + "\n";
}
