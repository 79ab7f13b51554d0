// The widget tests run the real dialog; without a display by default.
#include <gtest/gtest.h>

#include "app/VelkorApp.h"
#include "ui/PortSource.h"

#if defined(__SANITIZE_THREAD__)
// Qt (and GLib, which runs its event dispatcher) is not built with ThreadSanitizer: the ordering
// its futex-based mutexes give is invisible, so its own worker pool would be reported. The window
// hands tasks between threads through a queue of its own under a standard mutex, so races in the
// program's own code stay visible.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n";
}
#endif

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    // The application object of the program itself, so that start-up can be tested too.
    CVelkorApp app(argc, argv);
    // The machine's own serial ports would make the port list differ from one host to the next;
    // tests that need ports list their own.
    SetPortSource([] { return std::vector<SerialPortDescription>{}; });
    return RUN_ALL_TESTS();
}
