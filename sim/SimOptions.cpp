#include "SimOptions.h"

#include <charconv>
#include <cstdlib>
#include <functional>
#include <limits>

#include "RavlenVersion.h"

namespace {

using Setter = std::function<bool(SimOptions&, const std::string&)>;

struct Option {
  const char* name;
  const char* argument;  // nullptr for a switch
  const char* help;
  Setter set;
};

bool parseInt(const std::string& text, long lowest, long highest, long& out) {
  const char* first = text.data();
  const char* last = first + text.size();
  const auto [end, ec] = std::from_chars(first, last, out, 10);
  return ec == std::errc() && end == last && out >= lowest && out <= highest;
}

bool parseHex(const std::string& text, size_t digits, unsigned& out) {
  if (text.size() != digits) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out, 16);
  return ec == std::errc() && end == text.data() + text.size();
}

bool parseReal(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

Setter intInto(int TransceiverSettings::*field, long lowest, long highest) {
  return [=](SimOptions& o, const std::string& v) {
    long n = 0;
    if (!parseInt(v, lowest, highest, n)) return false;
    o.rig.*field = static_cast<int>(n);
    return true;
  };
}

Setter int32Into(int32_t TransceiverSettings::*field, long lowest, long highest) {
  return [=](SimOptions& o, const std::string& v) {
    long n = 0;
    if (!parseInt(v, lowest, highest, n)) return false;
    o.rig.*field = static_cast<int32_t>(n);
    return true;
  };
}

Setter hex16Into(uint16_t TransceiverSettings::*field) {
  return [=](SimOptions& o, const std::string& v) {
    unsigned n = 0;
    if (!parseHex(v, 4, n)) return false;
    o.rig.*field = static_cast<uint16_t>(n);
    return true;
  };
}

Setter hex8Into(uint8_t TransceiverSettings::*field) {
  return [=](SimOptions& o, const std::string& v) {
    unsigned n = 0;
    if (!parseHex(v, 2, n)) return false;
    o.rig.*field = static_cast<uint8_t>(n);
    return true;
  };
}

Setter realInto(double TransceiverSettings::*field) {
  return [=](SimOptions& o, const std::string& v) {
    double d = 0;
    if (!parseReal(v, d)) return false;
    o.rig.*field = d;
    return true;
  };
}

Setter flag(bool TransceiverSettings::*field) {
  return [=](SimOptions& o, const std::string&) {
    o.rig.*field = true;
    return true;
  };
}

Setter text(std::string SimOptions::*field) {
  return [=](SimOptions& o, const std::string& v) {
    if (v.empty()) return false;
    o.*field = v;
    return true;
  };
}

Setter own(bool SimOptions::*field) {
  return [=](SimOptions& o, const std::string&) {
    o.*field = true;
    return true;
  };
}

constexpr long kMaxInt = std::numeric_limits<int>::max();

const std::vector<Option>& options() {
  using S = TransceiverSettings;
  static const std::vector<Option> table{
      {"--link", "PATH", "also reach the terminal through a symbolic link at PATH (removed on exit)",
       text(&SimOptions::linkPath)},
      {"--image", "FILE", "load the memory image from FILE (32112 bytes) instead of building one",
       text(&SimOptions::imagePath)},
      {"--save-image", "FILE", "write the memory image, with all adjustments, to FILE on exit",
       text(&SimOptions::saveImagePath)},
      {"--mid", nullptr, "built image: set the \"Mid\" (middle bandwidth) flag", own(&SimOptions::mid)},
      {"--baud", "N", "pace the line at N baud, 10 bit times per byte (0 = unpaced, default)",
       int32Into(&S::baud, 0, 10000000)},
      {"--delay", "MS", "answer delay in milliseconds (default 0)",
       int32Into(&S::answerDelayMs, 0, 600000)},
      {"--clone-bytes", "N", "data bytes per E4 frame, 1 to 255 (default 16)",
       intInto(&S::cloneDataBytes, 1, 255)},
      {"--model-code", "HHHH", "model code in the answers (default 2928)", hex16Into(&S::modelCode)},
      {"--sub-code", "HHHH", "sub code in the answers (default 0100)", hex16Into(&S::subCode)},
      {"--format-byte", "HH", "format byte of the E1 answer (default 01)", hex8Into(&S::formatByte)},
      {"--option-flags", "HH", "option flags of the E1 answer (default 00)",
       hex8Into(&S::optionFlags)},
      {"--source", "HH", "source address of the answers (default EE)", hex8Into(&S::answerSource)},
      {"--temperature", "C", "temperature in degrees Celsius (default 25)", realInto(&S::temperatureC)},
      {"--supply", "V", "supply voltage (default 7.4)", realInto(&S::supplyVolts)},
      {"--bpf-t1", "N", "tuned point of BPF T1 (default 71)", intInto(&S::bpfT1Centre, 1, 254)},
      {"--bpf-t2", "N", "tuned point of BPF T2 (default 93)", intInto(&S::bpfT2Centre, 1, 254)},
      {"--no-echo", nullptr, "fault: the cable returns nothing", flag(&S::noEcho)},
      {"--no-answer", nullptr, "fault: the transceiver never answers", flag(&S::noAnswer)},
      {"--corrupt-frame", "K", "fault: alter a checked byte of answer frame K (from 1)",
       intInto(&S::corruptAnswerFrame, 0, kMaxInt)},
      {"--bad-checksum", "K", "fault: wrong checksum in answer frame K if it is an E4 frame",
       intInto(&S::badChecksumAnswerFrame, 0, kMaxInt)},
      {"--wrong-e5-count", nullptr, "fault: E5 reports one frame more than were sent",
       flag(&S::wrongE5Count)},
      {"--noise", "N", "fault: N noise bytes (no FE or FD) before every answer frame",
       intInto(&S::noiseBeforeAnswer, 0, 10000)},
      {"--split-writes", nullptr, "fault: hand every output byte over on its own",
       flag(&S::splitWrites)},
      {"--stop-after", "K", "fault: a clone read falls silent after E4 frame K (no E5)",
       intInto(&S::stopAfterE4, 0, kMaxInt)},
      {"--hang-up-after", "K",
       "fault: after E4 frame K the transceiver hangs up: its terminal closes and a new one opens",
       intInto(&S::hangUpAfterE4, 0, kMaxInt)},
      {"--flood", "N", "fault: N noise bytes at once after the echo of one request",
       intInto(&S::floodBytes, 0, 10000000)},
      {"--flood-at", "K", "the request (frame from the PC, from 1) the flood follows (default 1)",
       intInto(&S::floodAfterRequest, 1, kMaxInt)},
      {"--faults-from", "K", "--no-echo and --no-answer act from request K on (default 1)",
       intInto(&S::faultsFromRequest, 0, kMaxInt)},
      {"--stray-frame", "K", "fault: answer frame K comes first from another source, then as it should",
       intInto(&S::strayAnswerFrame, 0, kMaxInt)},
      {"--hang-up-after-frame", "K", "fault: the transceiver hangs up after answer frame K",
       intInto(&S::hangUpAfterFrame, 0, kMaxInt)},
      {"--drop-e8", "HH", "fault: settings of E8 command HH are taken but not stored",
       [](SimOptions& o, const std::string& v) {
         unsigned n = 0;
         if (!parseHex(v, 2, n)) return false;
         o.rig.dropE8Command = static_cast<int>(n);
         return true;
       }},
      {"--trace", nullptr, "print every frame with its time (ms, hex) to stderr",
       own(&SimOptions::trace)},
      {"--help", nullptr, "show this text", own(&SimOptions::help)},
      {"--version", nullptr, "show the version and the licence", own(&SimOptions::version)},
  };
  return table;
}

}  // namespace

std::optional<SimOptions> SimOptions::parse(const std::vector<std::string>& args,
                                            std::string& error) {
  SimOptions result;
  for (size_t i = 0; i < args.size(); ++i) {
    const Option* found = nullptr;
    for (const Option& o : options()) {
      if (args[i] == o.name) found = &o;
    }
    if (!found) {
      error = "unknown option " + args[i];
      return std::nullopt;
    }
    std::string value;
    if (found->argument) {
      if (i + 1 >= args.size()) {
        error = std::string(found->name) + " needs " + found->argument;
        return std::nullopt;
      }
      value = args[++i];
    }
    if (!found->set(result, value)) {
      error = "bad value for " + std::string(found->name) + ": " + value;
      return std::nullopt;
    }
  }
  if (!result.imagePath.empty() && result.mid) {
    error = "--mid applies to the built image only, not with --image";
    return std::nullopt;
  }
  const std::string invalid = result.rig.validate();
  if (!invalid.empty()) {
    error = invalid;
    return std::nullopt;
  }
  return result;
}

std::string SimOptions::helpText() {
  std::string out =
      "Usage: ravlen-sim [options]\n"
      "A virtual Selvik transceiver on a pseudo-terminal. Prints the terminal's path,\n"
      "then serves until interrupted. Answer frames are numbered from 1.\n\n";
  for (const Option& o : options()) {
    std::string head = std::string("  ") + o.name;
    if (o.argument) head += std::string(" ") + o.argument;
    if (head.size() < 26) head.resize(26, ' ');
    else head += "  ";
    out += head + o.help + "\n";
  }
  return out;
}

std::string SimOptions::versionText() {
  return std::string("ravlen-sim ") + RavlenRelease::Version + "\n" + RavlenRelease::Notice;
}
