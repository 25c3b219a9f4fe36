#pragma once
// Fixed addresses of the transceiver's memory that the utility reads directly.
#include <cstdint>

namespace ImageLayout {

inline constexpr int32_t kImageSize = 32112;

inline constexpr int32_t kBaseFrequency = 80;  // 2 bytes, units of 100 kHz
inline constexpr int32_t kToneLevel = 83;
inline constexpr int32_t kBpfT1 = 84;
inline constexpr int32_t kBpfT2 = 85;
inline constexpr int32_t kBpfCorrection = 86;
inline constexpr int32_t kTempSlants = 88;  // 4 signed bytes: SQL, Tone, MOD, BAL
inline constexpr int32_t kRxLva = 92;
inline constexpr int32_t kTxLva = 93;
inline constexpr int32_t kToneCorrection = 97;
inline constexpr int32_t kModW = 98;
inline constexpr int32_t kBal = 99;
inline constexpr int32_t kRatioLevel = 105;
inline constexpr int32_t kBal2 = 106;
inline constexpr int32_t kToneCorrectionMid = 111;
inline constexpr int32_t kModWMid = 112;
inline constexpr int32_t kBalMid = 113;
inline constexpr int32_t kFreqSlants = 124;  // 7 bands x 6 signed bytes
inline constexpr int32_t kFreqSlantBands = 7;
inline constexpr int32_t kFreqSlantBandSize = 6;
inline constexpr int32_t kPowLow = 166;
inline constexpr int32_t kPowHighPrivate = 167;
inline constexpr int32_t kPowHighCb = 168;
inline constexpr int32_t kRssiS1 = 169;
inline constexpr int32_t kRssiS3 = 170;
inline constexpr int32_t kRef = 173;
inline constexpr int32_t kLvRxTarget = 174;
inline constexpr int32_t kLvTxTarget = 175;
inline constexpr int32_t kSql = 184;

// Parameter table header: entry length, entry count, address of entry 0 (16-bit each).
inline constexpr int32_t kTableEntryLength = 290;
inline constexpr int32_t kTableEntryCount = 292;
inline constexpr int32_t kTableStart = 294;

inline constexpr int16_t kObjChannels = 2;
inline constexpr int16_t kObjChannelBlock2 = 3;
inline constexpr int16_t kObjCommon = 6;

// Common block byte whose bit 7 marks the middle-bandwidth variant.
inline constexpr int32_t kMidFlagOffset = 37;

}  // namespace ImageLayout
