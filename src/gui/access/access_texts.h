#pragma once

// The language-table entries of the IEC 61850 access editor.
namespace sw::gui {

inline constexpr int kTextAccessCaption = 1200;
inline constexpr int kTextAccessDescription = 1201;
inline constexpr int kTextAccessOk = 1202;
inline constexpr int kTextAccessCancel = 1203;
inline constexpr int kTextAccessAddVar = 1204;
inline constexpr int kTextAccessRemoveVar = 1205;
inline constexpr int kTextAccessAddDevice = 1208;
inline constexpr int kTextAccessRemoveDevice = 1209;
inline constexpr int kTextAccessOkHint = 1210;
inline constexpr int kTextAccessCancelHint = 1211;
inline constexpr int kTextAccessAddVarHint = 1212;
inline constexpr int kTextAccessRemoveVarHint = 1213;
inline constexpr int kTextAccessAddDeviceHint = 1216;
inline constexpr int kTextAccessRemoveDeviceHint = 1217;
// The 17 headers of the variables table ("N" first), then the 17 hints over them.
inline constexpr int kTextAccessFirstHeader = 1218;
inline constexpr int kTextAccessFirstHeaderHint = 1235;

} // namespace sw::gui
