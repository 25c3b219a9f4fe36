#pragma once
// Everything about the virtual transceiver that can be switched: identity, timing,
// the physical model and the faults. Plain values; validate() before use.
#include <cstdint>
#include <string>

struct TransceiverSettings {
  // Identity carried in the E1 answer and in E8 answers.
  uint16_t modelCode = 0x2928;
  uint16_t subCode = 0x0100;
  uint8_t formatByte = 0x01;
  uint8_t optionFlags = 0x00;
  uint8_t answerSource = 0xEE;  // source byte of every answer frame

  // Clone read: data bytes per E4 frame.
  int cloneDataBytes = 16;

  // Timing. baud 0 means unpaced: bytes are due as soon as they are ready.
  int32_t answerDelayMs = 0;
  int32_t baud = 0;

  // Physical model.
  double temperatureC = 25.0;
  double supplyVolts = 7.4;
  int bpfT1Centre = 71;
  int bpfT2Centre = 93;

  // Faults. Answer frames are numbered from 1 since creation or reset();
  // a frame number of 0 switches the fault off.
  bool noEcho = false;
  bool noAnswer = false;
  int corruptAnswerFrame = 0;      // one checked byte of that frame altered
  int badChecksumAnswerFrame = 0;  // checksum of that frame off by one (E4 frames only)
  bool wrongE5Count = false;       // E5 reports the frame count plus one
  int noiseBeforeAnswer = 0;       // noise bytes (never FE or FD) before every answer frame
  bool splitWrites = false;        // output handed over one byte per chunk
  int stopAfterE4 = 0;             // a clone read falls silent after that E4 frame (no E5)
  int hangUpAfterE4 = 0;           // ... or the transceiver hangs up its line after it
  int floodBytes = 0;              // noise bytes queued at once ...
  int floodAfterRequest = 1;       // ... after the echo of this frame from the PC (from 1)
  int faultsFromRequest = 0;       // noEcho and noAnswer act from this frame from the PC on
                                   // (from 1; 0 = from the first)
  int strayAnswerFrame = 0;        // that frame comes first from a wrong source, then as it should
  int hangUpAfterFrame = 0;        // the transceiver hangs up its line after that answer frame
  int dropE8Command = -1;          // settings of this E8 command are taken on the wire but not stored

  // Empty when the settings can be used, else what is wrong.
  std::string validate() const;
};
