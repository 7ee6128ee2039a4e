#pragma once

// Control bytes of the KV7 framing and of the firmware block transfer.
namespace kv7 {
constexpr char SOH = 1;
constexpr char STX = 2;
constexpr char EOT = 4;
constexpr char ACK = 6;
constexpr char DC4 = 20;
constexpr char NAK = 21;
constexpr char SyncChar = '{';
constexpr char PadChar = 26;
} // namespace kv7
