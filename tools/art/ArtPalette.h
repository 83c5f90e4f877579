#pragma once
// The skin's palette: two calm blues, a pale wash, and greys for lines and icons.
namespace Art {

struct Rgb {
    double r, g, b;
};

constexpr Rgb Hex(unsigned v) {
    return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0};
}

inline constexpr Rgb kBlue = Hex(0x2196F3);       // buttons, fills, accents
inline constexpr Rgb kBlueAlt = Hex(0x1890FF);    // message-box buttons
inline constexpr Rgb kBlueLight = Hex(0x52B0F7);  // top of gradients
inline constexpr Rgb kBlueDeep = Hex(0x1976D2);   // pressed states, bottom of gradients
inline constexpr Rgb kWash = Hex(0xEEF6FE);       // the background's upper wash
inline constexpr Rgb kTrack = Hex(0xE3EEF9);      // progress track, animation ring
inline constexpr Rgb kLine = Hex(0xD5DDE8);       // field frames
inline constexpr Rgb kGreyIcon = Hex(0x9AA4B5);   // idle icons
inline constexpr Rgb kGreyDark = Hex(0x5E6778);   // hot icons
inline constexpr Rgb kHover = Hex(0xF0F2F5);
inline constexpr Rgb kPress = Hex(0xE2E6EC);
inline constexpr Rgb kWhite = Hex(0xFFFFFF);

}  // namespace Art
