#include "tools/kmsim/Options.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "tools/kmsim/ControllerSide.h"

namespace kmsim {

namespace {

constexpr unsigned kMaxPort = 9999;
constexpr int kMaxIntervalMs = 60'000;
constexpr int kMaxReplugSeconds = 3600;

std::optional<std::uint64_t> Number(std::string_view text, std::uint64_t low, std::uint64_t high) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || ec != std::errc{} || ptr != end || value < low || value > high) return std::nullopt;
    return value;
}

// Seconds, a fraction allowed ("2", "0.5"), from 0 to kMaxReplugSeconds;
// kept to the millisecond.
std::optional<std::chrono::milliseconds> Seconds(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || ec != std::errc{} || ptr != end || !(value >= 0 && value <= kMaxReplugSeconds)) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(std::llround(value * 1000));
}

// "test, halten or kugoo": the protocols' names in the codec table's order.
std::string NameList(const char* separator, const char* last) {
    const std::vector<std::string_view> names = ProtocolNames();
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? last : separator;
        text += names[i];
    }
    return text;
}

}  // namespace

int DefaultIntervalMs(int protocol) {
    const ControllerSide* side = SideAt(protocol);
    return side ? side->DefaultIntervalMs() : 100;
}

ParsedOptions ParseOptions(std::span<const std::string_view> args) {
    Options o;
    std::optional<int> interval;
    auto fail = [](std::string why) { return ParsedOptions{std::nullopt, std::move(why)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inlineValue;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        // The option's value: after '=' or the next argument.
        auto value = [&]() -> std::optional<std::string_view> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            return std::nullopt;
        };
        auto flag = [&]() { return !inlineValue; };
        auto count = [&](std::uint64_t low) -> std::optional<std::uint64_t> {
            const auto v = value();
            return v ? Number(*v, low, std::numeric_limits<std::uint32_t>::max()) : std::nullopt;
        };
        const std::string option(name);

        if (name == "--help" || name == "-h") {
            if (!flag()) return fail(option + " takes no value");
            o.help = true;
        } else if (name == "--quiet" || name == "-q") {
            if (!flag()) return fail(option + " takes no value");
            o.quiet = true;
        } else if (name == "--garbage") {
            if (!flag()) return fail(option + " takes no value");
            o.faults.garbage = true;
        } else if (name == "--protocol") {
            const auto v = value();
            const auto p = v ? ProtocolNamed(*v) : std::nullopt;
            if (!p) return fail("--protocol wants " + NameList(", ", " or "));
            o.protocol = *p;
        } else if (name == "--port" || name == "--mirror-port") {
            const auto v = value();
            const auto n = v ? Number(*v, 1, kMaxPort) : std::nullopt;
            if (!n) return fail(option + " wants a number from 1 to " + std::to_string(kMaxPort));
            (name == "--port" ? o.port : o.mirrorPort) = static_cast<unsigned>(*n);
        } else if (name == "--port-dir") {
            const auto v = value();
            if (!v || v->empty()) return fail("--port-dir wants a directory");
            o.portDirectory = std::string(*v);
        } else if (name == "--interval") {
            const auto v = value();
            const auto n = v ? Number(*v, 0, kMaxIntervalMs) : std::nullopt;
            if (!n) return fail("--interval wants milliseconds from 0 to " + std::to_string(kMaxIntervalMs));
            interval = static_cast<int>(*n);
        } else if (name == "--seed") {
            const auto v = value();
            const auto n = v ? Number(*v, 0, std::numeric_limits<std::uint64_t>::max()) : std::nullopt;
            if (!n) return fail("--seed wants a whole number");
            o.seed = *n;
        } else if (name == "--log") {
            const auto v = value();
            if (!v || v->empty()) return fail("--log wants a file name");
            o.logPath = std::string(*v);
        } else if (name == "--mismatch") {
            const auto v = value();
            if (v && *v == "garbled") {
                o.mismatch = MismatchMode::Garbled;
            } else if (v && *v == "filler") {
                o.mismatch = MismatchMode::Filler;
            } else if (v && *v == "mute") {
                o.mismatch = MismatchMode::Mute;
            } else {
                return fail("--mismatch wants garbled, filler or mute");
            }
        } else if (name == "--silence-after" || name == "--hangup-after" || name == "--unplug-after" ||
                   name == "--frames") {
            const auto n = count(0);
            if (!n) return fail(option + " wants a number of frames");
            if (name == "--silence-after") o.faults.silenceAfter = *n;
            if (name == "--hangup-after") o.faults.hangupAfter = *n;
            if (name == "--unplug-after") o.faults.unplugAfter = *n;
            if (name == "--frames") o.frameLimit = *n;
        } else if (name == "--replug-after") {
            const auto v = value();
            const auto s = v ? Seconds(*v) : std::nullopt;
            if (!s) return fail("--replug-after wants seconds from 0 to " + std::to_string(kMaxReplugSeconds));
            o.faults.replugAfter = *s;
        } else if (name == "--drop-byte") {
            const auto n = count(1);
            if (!n) return fail("--drop-byte wants a frame number from 1");
            o.faults.dropByteOf = *n;
        } else {
            return fail("unknown argument: " + option);
        }
    }
    if (o.faults.replugAfter && !o.faults.unplugAfter) return fail("--replug-after needs --unplug-after");
    if (o.mirrorPort == o.port) return fail("--mirror-port wants a number other than --port");
    o.intervalMs = interval ? *interval : DefaultIntervalMs(o.protocol);
    return ParsedOptions{o, ""};
}

namespace {

// The protocols' paragraphs under --protocol.
std::string ProtocolHelp() {
    std::string text;
    for (const std::string_view name : ProtocolNames()) text += SideAt(*ProtocolNamed(name))->Help();
    return text;
}

}  // namespace

std::string HelpText(std::string_view program) {
    const std::string p(program);
    return "Usage: " + p + R"( [options]

Plays a scooter's motor controller (KM) on a pseudo-terminal, so that Zonter,
acting as the handlebar display, can be tried without a scooter.

The COM link
  Zonter opens ports by name, COM1, COM2, ... It first looks for an entry of
  that name in its port directory, $XDG_RUNTIME_DIR/zonter/ports (or
  /tmp/zonter-<uid>/ports without XDG_RUNTIME_DIR). The simulator opens a
  pseudo-terminal, links COM<n> in that directory to its slave side
  (/dev/pts/N) and plays the controller on the master side. The link is
  removed when the simulator ends, by --frames, --hangup-after, Ctrl+C or
  SIGTERM, and while the line is unplugged (--unplug-after). After its last
  frame (--frames) the simulator waits, up to 2 s, until the reader has
  taken every byte (closing the line discards what the reader has not
  read), then keeps the silent line open until the reader closes the port,
  at most 2 s more. When the
  simulator is ready it prints one line on stdout:
      COM<n> /dev/pts/N
  and, when it ends, a line "summary key=value ...". An unplug and a replug
  print a line each, with the time on the system's monotonic clock
  (CLOCK_MONOTONIC, in seconds):
      unplugged COM<n> monotonic=S
      replugged COM<n> /dev/pts/M monotonic=S
  Under Wine, a prefix whose COM<n> names the link itself (the registry
  value HKLM\Software\Wine\Ports "COM<n>" = <port directory>/COM<n>)
  reaches each new line through the same name, with no change in the prefix.

Options
  --protocol )" +
           NameList("|", "|") + R"(
                     controller to play (default halten):
)" + ProtocolHelp() +
           R"(                     V/T and P follow a ride that repeats every 30 s:
                     standing, pulling away, cruising, braking. Each ride's
                     top speed and power are drawn from --seed.
  --port N           register the line as COM<N> (default 1)
  --port-dir DIR     use DIR as the port directory instead of the default
  --mirror-port N    also register a second line as COM<N> and write every
                     byte of the first to it at the same moment (it hears
                     nothing back): a bare reader on it measures what the
                     line alone costs, beside the tool on the first. Printed
                     before the ready line as "mirror COM<N> /dev/pts/M"
  --interval MS      pause after each frame, on top of its line time
                     (default 100 ms, 50 ms for kugoo)
  --seed N           seed of the ride, the keys and the junk (default 1)
  --log FILE         write every frame sent ("tx <hex>"), junk sent
                     ("junk <hex>"), what went out of a frame at the wrong
                     speed ("garbled <hex>"), every display frame received
                     ("rx <hex> | <settings>") and line changes ("# ...")
  --quiet            no status line on stderr
  --help             this text
  --mismatch garbled|filler|mute
                     what to send while the reader's speed is not the
                     controller's. garbled (the default): each frame as a
                     UART set to the reader's speed reads it, misframed,
                     shifted or lost (the frame is sent at the controller's
                     speed, sampled at the reader's, a byte with a framing
                     error dropped), delivered at the reader's speed.
                     filler: 0xFF bytes in place of each frame, at the
                     reader's speed; never a sync byte. mute: nothing.
                     Before Zonter first opens the port the line is at
                     38400 bit/s, so garbled frames go out until it sets
                     its speed.

Line pacing
  The simulator reads the speed the reader set on the port and spends 10 bits
  (start, 8 data, stop) per byte at that speed, writing small chunks and
  waiting out their line time. A frame counts as sent once its last byte's
  line time has passed. While the reader has the port closed nothing is sent.

Display frames
  Whatever the reader sends is decoded as display frames of the protocol
  (see --protocol). The XOR of a whole frame must be 0. Bad frames, breaks
  in a frame counter and junk are counted; the decoder finds its way
  back to the next frame start.

Status
  A status line on stderr shows the line state, frames sent and received,
  checksum errors, counter gaps and the settings the display asked for. It is
  redrawn in place on a terminal and written once a second otherwise.

Faults
  --frames N         end after N frames have been sent (garbled frames and
                     filler are not: only frames at the controller's speed
                     count)
  --silence-after N  send nothing after N frames (the simulator runs on)
  --hangup-after N   after N frames close the pseudo-terminal and remove the
                     link, as if the cable were pulled, and end
  --unplug-after N   after N frames close the pseudo-terminal and remove the
                     link, as an adapter pulled from its USB socket: the
                     reader sees a hang-up (EIO) and COM<n> is gone; the
                     simulator runs on without a line
  --replug-after S   S seconds (a fraction allowed) after the unplug, bring
                     the line back under the same COM number: a new
                     pseudo-terminal, the link made again, frames going on
                     once the reader has reopened the port
  --drop-byte N      frame N (counting from 1) loses its middle byte
  --garbage          1 to 6 junk bytes before every frame, none of them the
                     controller's first sync byte

Example
  )" + p + R"( --protocol halten &      # prints "COM1 /dev/pts/3"
  build/default/app/zonter
  In Zonter pick "Halten RS", port 1, press Connect and "Авто. чтен.":
  V/T and P move with the ride. Tick "имит. БК" to send display frames; the
  status line then shows the settings the display asks for.
)";
}

}  // namespace kmsim
