#include "tools/projector-sim/sim_options.h"

#include <charconv>
#include <cmath>

#include "tools/projector-sim/projector_model.h"

namespace sim {
namespace {

// Upper bounds keep every duration and rate convertible to microseconds without overflow.
constexpr double kMaxSeconds = 1e6;
constexpr std::int64_t kMaxLatencyMs = 3'600'000;
constexpr std::uint64_t kMaxFlood = 10'000'000;

bool readDouble(std::string_view text, double& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

template <typename Int>
bool readInt(std::string_view text, Int& out) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

std::string bad(std::string_view option, std::string_view value, std::string_view wanted) {
    return std::string(option) + ": '" + std::string(value) + "' is not " + std::string(wanted);
}

}  // namespace

ParsedOptions parseOptions(std::span<const std::string_view> args) {
    ParsedOptions parsed;
    SimOptions& o = parsed.options;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inlineValue;
        if (const auto eq = name.find('=');
            name.starts_with("--") && eq != std::string_view::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const bool flag = name == "--help" || name == "-h" || name == "--no-signal" ||
                          name == "--lamp-fault" || name == "--no-reply" || name == "--split" ||
                          name == "--log-speed";
        if (flag) {
            if (inlineValue) {
                parsed.error = std::string(name) + " takes no value";
                break;
            }
            if (name == "--help" || name == "-h") o.help = true;
            if (name == "--no-signal") o.noSignal = true;
            if (name == "--lamp-fault") o.lampFault = true;
            if (name == "--no-reply") o.noReply = true;
            if (name == "--split") o.split = true;
            if (name == "--log-speed") o.logSpeed = true;
            continue;
        }
        const bool known = name == "--link" || name == "--warmup" || name == "--cooldown" ||
                           name == "--latency" || name == "--noise" || name == "--flood" ||
                           name == "--hangup-after" || name == "--log" || name == "--seed";
        if (!known) {
            parsed.error = "unknown argument '" + std::string(args[i]) + "'";
            break;
        }
        std::string_view value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            parsed.error = std::string(name) + " needs a value";
            break;
        }

        double seconds = 0;
        if (name == "--link" || name == "--log") {
            if (value.empty()) parsed.error = std::string(name) + " needs a path";
            (name == "--link" ? o.link : o.logPath) = std::string(value);
        } else if (name == "--warmup" || name == "--cooldown" || name == "--hangup-after") {
            if (!readDouble(value, seconds) || seconds < 0 || seconds > kMaxSeconds) {
                parsed.error = bad(name, value, "a number of seconds from 0 to 1000000");
            } else if (name == "--warmup") {
                o.warmupSeconds = seconds;
            } else if (name == "--cooldown") {
                o.cooldownSeconds = seconds;
            } else {
                o.hangupAfterSeconds = seconds;
            }
        } else if (name == "--latency") {
            if (!readInt(value, o.latencyMs) || o.latencyMs < 0 || o.latencyMs > kMaxLatencyMs)
                parsed.error = bad(name, value, "a whole number of milliseconds from 0 to 3600000");
        } else if (name == "--noise") {
            if (!readDouble(value, o.noiseRate) || o.noiseRate < 0 || o.noiseRate > 1)
                parsed.error = bad(name, value, "a probability from 0 to 1");
        } else if (name == "--flood") {
            if (!readInt(value, o.floodBytesPerSecond) || o.floodBytesPerSecond < 1 ||
                o.floodBytesPerSecond > kMaxFlood)
                parsed.error = bad(name, value, "a rate from 1 to 10000000 bytes per second");
        } else {  // --seed
            std::uint64_t seed = 0;
            if (!readInt(value, seed)) parsed.error = bad(name, value, "a whole number");
            o.seed = seed;
        }
    }
    return parsed;
}

std::string helpText(std::string_view program) {
    std::string text = "Usage: ";
    text += program;
    text += R"( [OPTION]...
A simulated projector on a pseudo-terminal, for the projector panel's tests and demos.

The first line on standard output is the device path of the terminal's far end (for
example /dev/pts/3): open it as the projector's serial port. Both ends are raw: no byte
is translated. The device stays served when a client closes it and opens it again.
SIGINT, SIGTERM and SIGHUP end the simulator cleanly, removing the --link.

Frames are the bytes up to a CR (code 13). Answers, compared exactly (case and spaces
count):
  a control command (listed below)  ACK (code 6) alone, with no CR after it
  CR0          power status: "80" standby, "40" warming up (count down), "00" on,
               "20" cooling down
  CR1          input: "1" after C05 (the start), "2" after C06, "3" after C07,
               "4" after C04 or C08
  CR3          lamp hours, five digits ("01234" at start), counting while on
  CR4          picture reversal: "11"
  CR6          three temperatures "DDD.D DDD.D DDD.D", each below 100, drifting
               slowly up while the lamp is lit and back down when it is not
  CR7          lamp mode: "01" while on, "00" otherwise
  CR9          identification: ")";
    text += kIdentification;
    text += R"("
  CRA          mutes while on: "00" none, "01" picture (C0D), "02" sound (C0B),
               "03" both; C0E and C0C undo them; "80" with --no-signal;
               "FF" whenever not on (power off also clears the mutes)
  CR PRESSURE  a reading near 512 ("509" to "515")
  anything else  "?"
Every answer but ACK ends with CR. C00 starts the warm-up from standby only (it is ignored
while cooling down); C01 starts the cool-down from warming up or on.
The control commands:)";
    text += "\n ";
    std::size_t column = 1;
    for (const auto code : ProjectorModel::controlCodes()) {
        const std::string item = " \"" + std::string(code) + "\"";
        if (column + item.size() > 88) {
            text += "\n ";
            column = 1;
        }
        text += item;
        column += item.size();
    }
    text += R"(

Options:
  --link PATH            also make a symbolic link PATH to the device (an existing
                         symbolic link there is replaced); removed on exit
  --warmup SECONDS       length of the warm-up after C00 (default 3; decimals allowed)
  --cooldown SECONDS     length of the cool-down after C01 (default 3)
  --no-signal            CRA answers "80" (no input signal) while on
  --lamp-fault           every lamp has failed: C00 is ignored, and CR0 answers "81"
                         (standby, all lamps failed), or "21" while cooling down
  --no-reply             obey commands but never answer
  --latency MS           send each answer MS milliseconds after its frame came in
  --split                send each answer of two bytes or more in two pieces, the
                         first half and then the rest 20 ms later
  --noise RATE           before each answer byte, with probability RATE (0 to 1),
                         insert one random byte (any of 0 to 255)
  --flood BYTES_PER_SECOND
                         send an endless stream, unasked, paced evenly at this rate:
                         "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" and CR, over and over;
                         bytes are not held back for a client that is away or slow
  --hangup-after SECONDS close the terminal this long after start, as an unplugged
                         adapter vanishes; the simulator then removes its --link and
                         exits with status 0
  --log FILE             write one line per received frame, at once:
                         "<microseconds> <frame>", the time on CLOCK_MONOTONIC when the
                         frame's last byte was read, one space, then the frame's bytes
                         without its CR, escaped: "\\" for a backslash, "\r" "\n" "\t",
                         "\xHH" for any other byte outside printable ASCII
  --log-speed            put the line speed that the client has set (its baud rate,
                         read from the terminal as the frame's last byte comes in)
                         between the time and the frame: "<microseconds> <baud> <frame>"
  --seed N               seed of the noise (default: a random one)
  -h, --help             show this text and exit

Answers written while no client has the device open are dropped, as a real line would
lose them. Exit status: 0 after a signal or the hang-up, 1 when the terminal or the log
cannot be set up, 2 for a bad command line.
)";
    return text;
}

}  // namespace sim
