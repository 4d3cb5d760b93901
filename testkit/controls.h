// The controls that tests drive by name, named by what they are. The strings are the window
// designer's names: the objectNames of the widgets and the keys of the catalogue and layout tables.
#pragma once

namespace panel::controls {

// One-shot buttons
inline constexpr const char* kPowerOn = "Command17";
inline constexpr const char* kPowerOff = "Command18";
inline constexpr const char* kMenuOn = "Command23";
inline constexpr const char* kNoShowOn = "Command21";
inline constexpr const char* kAutoImage = "Command13";  // "A-IMAGE"
inline constexpr const char* kPictureReal = "Command10";
inline constexpr const char* kStatus = "Command44";       // sends "CR0"
inline constexpr const char* kLampTime = "Command46";     // "L-TIME", "CR3"
inline constexpr const char* kTemperature = "Command54";  // "TEMP", "CR6"
inline constexpr const char* kInputMode = "Command45";    // "MODE", "CR1"
inline constexpr const char* kSetting = "Command47";      // "SETTING", "CR4"
inline constexpr const char* kLampMode = "Command55";     // "L-MODE", "CR7"

// Press-and-hold buttons
inline constexpr const char* kVolumeUp = "Command1";
inline constexpr const char* kVolumeDown = "Command2";
inline constexpr const char* kBrightnessUp = "Command15";
inline constexpr const char* kZoomUp = "Command48";
inline constexpr const char* kZoomDown = "Command49";
inline constexpr const char* kKeystoneUp = "Command50";
inline constexpr const char* kSelect = "Command6";
inline constexpr const char* kArrowUp = "Command5";
inline constexpr const char* kArrowDown = "Command7";
inline constexpr const char* kArrowLeft = "Command9";
inline constexpr const char* kArrowRight = "Command8";

// The port selector, the data panel and the manual entry
inline constexpr const char* kPortSelector = "Command33";  // "COM"
inline constexpr const char* kPortFrame = "Frame8";        // what the port selector opens
inline constexpr const char* kCom1 = "Option1";
inline constexpr const char* kCom2 = "Option2";
inline constexpr const char* kBaud19200 = "Option9";
inline constexpr const char* kBaud9600 = "Option10";
inline constexpr const char* kEnd = "Command16";
inline constexpr const char* kDataPanel = "Command34";
inline constexpr const char* kSend = "Command95";
inline constexpr const char* kClear = "Command96";  // "CLS"
inline constexpr const char* kManualEntry = "Text1";
inline constexpr const char* kLogo = "Image1";
inline constexpr const char* kNoSuchControl = "Command99";  // the window has no such control

}  // namespace panel::controls
