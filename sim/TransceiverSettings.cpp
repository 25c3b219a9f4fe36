#include "TransceiverSettings.h"

namespace {

bool isFrameByte(unsigned v) { return v == 0xFE || v == 0xFD; }

bool hasFrameByte(uint16_t v) { return isFrameByte(v >> 8) || isFrameByte(v & 0xFF); }

}  // namespace

std::string TransceiverSettings::validate() const {
  if (hasFrameByte(modelCode)) return "model code must not contain FE or FD";
  if (hasFrameByte(subCode)) return "sub code must not contain FE or FD";
  if (isFrameByte(formatByte)) return "format byte must not be FE or FD";
  if (isFrameByte(optionFlags)) return "option flags must not be FE or FD";
  if (isFrameByte(answerSource)) return "answer source must not be FE or FD";
  if (cloneDataBytes < 1 || cloneDataBytes > 255) return "clone data bytes must be 1 to 255";
  if (answerDelayMs < 0) return "answer delay must not be negative";
  if (baud < 0) return "baud rate must not be negative";
  if (!(temperatureC >= -40.0 && temperatureC <= 120.0)) return "temperature must be -40 to 120 C";
  if (!(supplyVolts >= 0.0 && supplyVolts <= 10.0)) return "supply voltage must be 0 to 10 V";
  if (bpfT1Centre < 1 || bpfT1Centre > 254) return "BPF T1 tuned point must be 1 to 254";
  if (bpfT2Centre < 1 || bpfT2Centre > 254) return "BPF T2 tuned point must be 1 to 254";
  if (corruptAnswerFrame < 0 || badChecksumAnswerFrame < 0 || stopAfterE4 < 0 ||
      hangUpAfterE4 < 0 || faultsFromRequest < 0 || strayAnswerFrame < 0 || hangUpAfterFrame < 0)
    return "frame numbers must not be negative";
  if (noiseBeforeAnswer < 0 || noiseBeforeAnswer > 10000) return "noise must be 0 to 10000 bytes";
  if (floodBytes < 0 || floodBytes > 10000000) return "flood must be 0 to 10000000 bytes";
  if (floodAfterRequest < 1) return "flood request number must be 1 or more";
  return {};
}
