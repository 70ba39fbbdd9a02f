#include "app/CommandLine.h"

namespace app {

namespace {

constexpr int kExitUsage = 2;

}  // namespace

std::string VersionText() { return std::string("zonter ") + ZONTER_VERSION + "\n"; }

namespace {

constexpr const char* kAbout = R"(Usage: zonter [--help | --version]

Zonter services electric scooters. A serial adapter sits on the line between
the motor controller (KM) and the handlebar display (BK); the tool decodes
the controller's frames (Halten RS, Kugoo M (QS-S4) or raw test frames), can
play the display's part, and records 60 s captures (kmMMDDhhmm.txt in the
current directory). Everything else is set in its window.
)";

// How COMn finds an adapter differs between the systems.
#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

constexpr const char* kWindowsPorts = R"text(
Ports
  COMn is the Windows port of that number. Device Manager lists the adapters
  under "Ports (COM & LPT)" ("Порты (COM и LPT)"); the window's arrows reach
  COM1 to COM10, so give an adapter a number in that range in its port
  settings (Advanced). "Нет доступа к COMn" means the port does not exist or
  another program holds it; the state line's tooltip says which.
)text";

constexpr const char* kLinuxPorts = R"(
Ports
  The tool numbers its ports COM1, COM2, ...; COMn resolves to
   1. the link named COMn in the port directory,
      $XDG_RUNTIME_DIR/zonter/ports (or /tmp/zonter-<uid>/ports when
      XDG_RUNTIME_DIR is not set); pin a number to an adapter with
        ln -sf /dev/serial/by-id/... "$XDG_RUNTIME_DIR/zonter/ports/COM3"
   2. otherwise the n-th serial port present: on-board UARTs (ttyS*), then
      ttyUSB*, then ttyACM*, each by number, leaving out the system console.
  Serial devices belong to the group dialout; "Нет доступа к COMn" usually
  means you are not in it (sudo usermod -aG dialout "$USER", log in again).
)";
constexpr const char* kSimulator = R"(
Simulator
  zonter-kmsim plays a motor controller on a pseudo-terminal and registers
  it as COM1 or COM<n> with --port n (see zonter-kmsim --help), so the tool
  can be tried without a scooter.
)";

constexpr const char* kOptions = R"(
Options
  --help, -h   this text
  --version    print the version and exit
)";

}  // namespace

std::string HelpText() {
    // The simulator is a Linux program.
    return std::string(kAbout) + (kWindows ? kWindowsPorts : kLinuxPorts) + (kWindows ? "" : kSimulator) + kOptions;
}

std::optional<int> AnswerCommandLine(std::span<const std::string_view> args, std::FILE* out, std::FILE* err) {
    if (args.empty()) return std::nullopt;

    bool help = false;
    for (const std::string_view arg : args) {
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg != "--version") {
            std::fprintf(err, "zonter: unknown argument '%.*s'\n\n%s", static_cast<int>(arg.size()), arg.data(),
                         HelpText().c_str());
            return kExitUsage;
        }
    }
    std::fputs(help ? HelpText().c_str() : VersionText().c_str(), out);
    return 0;
}

}  // namespace app
