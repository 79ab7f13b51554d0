#include "SimOptions.h"

std::string HelpText() {
    return R"(Usage: velkor-sim [OPTION]...
Emulates a LAN gateway with pulse-counting digital-I/O units behind it, for trying
Velkor without hardware and as the peer of its tests. Ends on SIGINT, SIGTERM, SIGHUP.

Transports
  --listen HOST:PORT   TCP address to serve, default 127.0.0.1:10003 ([::1]:PORT for
                       IPv6; 'off' serves the pty only). Port 0 picks a free port.
                       One client at a time; the next connection is accepted after
                       the current one closes. A client that does not read is dropped,
                       as a gateway would, once 64 KiB of replies wait for it (logged).
  --pty LINK           also serve over a pseudo-terminal (raw 8-bit) and make LINK a
                       symbolic link to its slave device; a stale link is replaced, the
                       link is removed on exit. Over the pty, "connect" below means the
                       moment the pty is created.
  Standard output: once everything listens, the first line is the TCP port number
  (0 with --listen off); it is flushed at once. Nothing else goes to standard output.

Units
  --unit NODE:CODE[:SUB[:ID]]
                       a unit at NODE (0-254) with model CODE (the model character
                       is CODE + 0x20), extension sub-code SUB (sent only for CODE 15;
                       an empty field is 0) and unit ID (the ID character is 47 - ID;
                       default: the node number modulo 16). The first --unit replaces
                       the default set; repeat it for more units. A node without a
                       unit never answers.
                       Default set: node 1 code 2 (5 inputs), node 2 code 3 (3 inputs),
                       node 3 code 4 (2 inputs), node 4 code 1 (no pulse inputs),
                       node 5 code 15 sub 1 (no pulse inputs); unit IDs 1 to 5.
                       Pulse inputs by code: 2 -> 5, 3 -> 3, 4 -> 2, any other -> 0.
  --settings NODE:KEY=VALUE[,KEY=VALUE...]
                       initial settings of a unit (repeatable). Keys:
                         mode=0-3     0 off, 1 single-phase, 2 two-phase x2,
                                      3 two-phase x4
                         clear=0|1    clear signal (Z phase on DI3)
                         flags=0-15   the raw mode bits instead of mode/clear:
                                      1 enabled, 2 two-phase, 4 clear signal, 8 x4
                         period=0-95  0 START-STOP, 1 1 s, 2 10 s, 3 1 min, 4 10 min
                         debounce=0-95  the raw filter value (0, 2-10 = 4-20 ms)
                         edges=DIGITS one digit per input from DI1, 0 off, 1 rising,
                                      2 falling (other digits are kept and count)
                         counting=0|1 counting from the start
                         rawperiod=BYTE, rawdebounce=BYTE, rawedgeN=BYTE (N an input,
                                      1 for DI1): the very byte 0x00-0xFF (not 0xC8)
                                      that "py" or "ph" reports, also one no value
                                      above gives
                       Default: mode=1, period=0, debounce=0, every input rising,
                       not counting. Example: --settings 1:mode=3,clear=1,edges=10010
  --count NODE:INDEX:VALUE
                       preset one count (INDEX 0-4 among the unit's inputs; VALUE a
                       32-bit number, negative values as two's complement, 0x for hex)

Counting
  --rate HZ            pulses per second on every counting input (default 5; 0-1000000)
  --z-every N          encoder cycles between Z pulses (default 100)
  While a unit counts, each input whose edge is not 0 gets a pulse every 1/HZ s from
  the start. Single-phase (mode bits 1): each input counts its own pulses. Two-phase
  (bits 1+2): the pair DI1/DI2 counts under index 0 and DI4/DI5 under index 3 (when the
  unit has both inputs of the pair and the A input's edge is not 0), 2 counts per cycle,
  4 with bit 8; with the clear signal (bit 4) and a DI3 input, every N-th cycle brings a
  Z pulse that sets both pairs to 0. Without bit 1 nothing counts. Period START-STOP:
  counts run on from their value at "PS" start and hold at stop. Fixed periods: the
  count is that of the last completed period (timed from the start), the old value
  until the first period ends. Any other period value counts like START-STOP. Counts
  are 32-bit and wrap. A "PU" or "PC" while counting keeps what was counted so far and
  restarts the run (and period timing) with the new settings. Debounce has no effect.

Commands (frame: 2 upper-case hex node digits, 2 upper-case letters, parameter
characters = value + 0x20, end byte 0xC8; reply: node digits as received, the
letters in lower case, data, 0xC8)
  MD            -> md ID-char (47-ID) model-char [sub-char for model 15]
  PY            -> py flags(0x20|bits) period+0x20 debounce+0x20
  PH i          -> ph i edge+0x20
  PP            -> pp 0x20|0x08 when counting
  PC i e        -> pc   (sets the edge of input i)
  PU m p d      -> pu   (keeps the low 4 bits of m, p-0x20, d-0x20)
  PS s          -> ps   (bit 0x08 of s set: start, e.g. 0x28; else stop, e.g. 0x20)
  PG i          -> pg i and 8 upper-case hex digits of the count
  Values are kept as received, so odd values come back unchanged. An index that is not
  one of the unit's inputs is still answered: "ph" gives edge 0, "pg" gives 00000000,
  "PC" is acknowledged and changes nothing. A unit without pulse inputs answers "MD"
  only. Frames with lower-case node digits or letters, a 0 byte, unknown commands, a
  wrong number of parameter characters, or for a node without a unit get no reply. More than 126
  bytes without an end byte are discarded up to the next end byte.

Gateway
  --notice N[@MS]      send the notice "00gq" + (N+0x20) + 0xC8 when a client connects
                       (N from -32 to 223, not 168), MS milliseconds later (default 0;
                       a client that drains its input on connecting needs a delay)

Faults (for reliability tests; counters restart with every connection)
  --silent LETTERS     no reply to these commands (comma-separated, e.g. PY,PG; the
                       eight commands below only); the command still takes effect
  --delay-ms N         send every reply N ms late, with the fault bytes that go with
                       it (order kept; notices and queued junk are not delayed)
  --drop-every N       lose every N-th reply (the command still takes effect)
  --garbage            before each reply send a lone 0xC8 and the junk frame
                       00 FF 7A 7A 7F C8 (letters "zz")
  --close-after N      after the N-th received frame has been answered, drop the
                       connection; over the pty: hang up (a read by the client then
                       gives end of file, 0) and move LINK to a fresh pty
  --overflow           before a connection's first reply, 200 bytes 0x55 without an end
                       byte; the reply follows directly, later replies are normal
  --queued-junk        on connect, before any command, send "01md" 20 21 C8 (a stale
                       "md" of a unit without pulse inputs) and "01pg" without end byte
  --wrong-length LETTERS
                       these replies get one byte 0x20 more, before the end byte
  --upper-echo         send the received command frame back before each reply

Log
  One line per frame in and out, written and flushed line by line, to standard error
  or --log FILE (appended); --quiet turns it off (also --log).
    TIME CHANNEL RX FRAME [HEX]           a frame received
    TIME CHANNEL TX KIND FRAME [HEX]      bytes sent; KIND is reply, notice, junk,
                                          garbage, overflow, echo or wrong-length
    TIME CHANNEL -- TEXT                  events: connections, ignored frames, faults
  TIME is local time 2025-01-31T13:45:00.123456; CHANNEL is tcp#N or pty#N (N counts
  connections and ptys), or sim for the simulator's own events; FRAME shows bytes
  0x21-0x7E as they are except '\' as \\, and every other byte as \xHH (so 0x20 is
  \x20 and the end byte \xC8), so it never holds a blank; HEX is the bytes in
  upper-case hex separated by blanks. Example:
    2025-01-31T13:45:00.123456 tcp#1 RX 01MD\xC8 [30 31 4D 44 C8]
    2025-01-31T13:45:00.123501 tcp#1 TX reply 01md."\xC8 [30 31 6D 64 2E 22 C8]
  Bytes sent in one piece that hold several frames are logged one frame per line.

Other
  --log FILE           write the log to FILE
  --quiet              no log
  --help               this text
  --version            the version of velkor-sim
Options take their value as the next argument or after '='. Exit status: 0 after a
signal, 1 when a socket, the pty or the log cannot be set up, 2 for a bad command line.
For tests: velkor-sim --listen 127.0.0.1:0 --log FILE [faults...], then read the port
from the first line of standard output and end it with SIGTERM.
)";
}
