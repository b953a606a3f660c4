// JPEG encoding of rendered pixels and the EXIF fields a camera writes into each shot.
//
// Threading: pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace camsdk::detail {

// Empty on failure.
std::vector<uint8_t> encodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality);

struct ExifFields {
    int orientation = 1;
    std::string make;
    std::string model;
    std::string dateTime;   // "YYYY:MM:DD HH:MM:SS"
    std::optional<std::pair<uint32_t, uint32_t>> exposureTime;
    std::optional<std::pair<uint32_t, uint32_t>> fNumber;
    std::optional<uint32_t> isoSpeed;
    int width = 0;
    int height = 0;
};

// The JPEG with the fields written; the JPEG unchanged (and a line on stderr) if that fails.
std::vector<uint8_t> addExif(const std::vector<uint8_t>& jpeg, const ExifFields& fields);

// Nominal values of the camera's exposure codes; nothing for codes without a fixed value.
std::optional<std::pair<uint32_t, uint32_t>> exposureTimeOf(uint32_t tvCode);
std::optional<std::pair<uint32_t, uint32_t>> fNumberOf(uint32_t avCode);
std::optional<uint32_t> isoSpeedOf(uint32_t isoCode);

} // namespace camsdk::detail
