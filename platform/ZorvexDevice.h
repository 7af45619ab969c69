#pragma once

// Who the interface is on the USB bus and the one vendor report it understands. The panel,
// the simulated interface, the Linux backends and the udev rule (generated from this file at
// configure time) all take these from here, so the device is described once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zorvex {

// Written in hex because that is how the bus, lsusb and udev name them; the rule's generator
// reads these two lines as they stand.
inline constexpr std::uint16_t kVendorID = 0x5e1a;  // 24090
inline constexpr std::uint16_t kProductID = 0x3c04; // 15364
inline constexpr char kManufacturer[] = "Orvanelle";
inline constexpr char kProductName[] = "Zorvex";

// A register write: 12 34 <register> 00 01 <data>, 0x80 at offset 21, the rest zero.
inline constexpr std::size_t kCommandLength = 27;
// The interface answers each command with an input report of this length.
inline constexpr std::size_t kReplyLength = 18;

using VendorCommand = std::array<std::uint8_t, kCommandLength>;

struct RegisterWrite {
    std::uint8_t reg = 0;
    std::uint8_t data = 0;
};

constexpr VendorCommand makeVendorCommand(std::uint8_t reg, std::uint8_t data)
{
    VendorCommand command{};
    command[0] = 0x12;
    command[1] = 0x34;
    command[2] = reg;
    command[3] = 0x00;
    command[4] = 0x01;
    command[5] = data;
    command[21] = 0x80;
    return command;
}

// The register write a report carries, or nothing for any other report.
constexpr std::optional<RegisterWrite> parseVendorCommand(std::span<const std::uint8_t> report)
{
    if (report.size() != kCommandLength || report[0] != 0x12 || report[1] != 0x34 || report[3] != 0x00
        || report[4] != 0x01 || report[21] != 0x80)
        return std::nullopt;
    return RegisterWrite{report[2], report[5]};
}

} // namespace zorvex
