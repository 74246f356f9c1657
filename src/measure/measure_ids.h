#pragma once
// The Measure menu's commands: switches, channel and mask choices. Each value is the menu
// command id and, for the mask type, the stored choice, so the numbers never change.

constexpr int kCmdSnr = 599, kCmdSfdr = 600, kCmdSnrBandwidth = 601, kCmdObw = 616;
constexpr int kCmdImd = 32880;
constexpr int kCmdAclr5 = 801, kCmdAclr10 = 802, kCmdAclr15 = 803, kCmdAclr20 = 804,
              kCmdAclrWcdma = 806;
constexpr int kCmdLteAutoBw = 40117;
constexpr int kCmdMask5 = 710, kCmdMask10 = 709, kCmdMask15 = 805, kCmdMask20 = 708;
constexpr int kCmdMaskAutoBw = 40118;
constexpr int kCmdCarrierPower = 40110;
constexpr int kMaskType706 = 706, kMaskType705 = 705, kMaskType707 = 707, kMaskType40128 = 40128,
              kMaskType1016 = 1016;

// The choices that carry a check mark between them.
inline constexpr int kMaskTypeCommands[] = {kMaskType705, kMaskType706, kMaskType707, kMaskType1016,
                                            kMaskType40128};
inline constexpr int kMeasureCommands[] = {kCmdSnr,       kCmdSfdr,      kCmdImd,       kCmdObw,
                                           kCmdLteAutoBw, kCmdAclr5,     kCmdAclr10,    kCmdAclr15,
                                           kCmdAclr20,    kCmdAclrWcdma, kCmdMask20,    kCmdMask10,
                                           kCmdMask5,     kCmdMask15,    kCmdMaskAutoBw};
