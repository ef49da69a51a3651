#pragma once

// The bytes the tool sends the scanner, as the line carries them. One place
// for the window, the simulator that answers them and the tests that check
// the line. Plain character arrays, so that code without Qt can use them.
namespace ScannerCommands {

// ESC "S7" CR: trigger a read.
inline constexpr char ReadStart[] = "\x1bS7\r";
// ESC "S8" CR: end the read.
inline constexpr char ReadEnd[] = "\x1bS8\r";
// The digits 48, then "200000000050", then CR LF.
inline constexpr char FixedCommand[] = "48200000000050\r\n";

} // namespace ScannerCommands
