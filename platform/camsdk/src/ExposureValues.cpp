// Nominal shutter speeds, apertures and ISO speeds of the camera's exposure codes, as the
// camera's own displays label them.
// Threading: constant tables.
#include "Picture.h"

#include <map>

namespace camsdk::detail {
namespace {

// Shutter speed in seconds, as numerator and denominator.
const std::map<uint32_t, std::pair<uint32_t, uint32_t>>& tvTable()
{
    static const std::map<uint32_t, std::pair<uint32_t, uint32_t>> table = {
        {0x10, {300, 10}}, {0x13, {250, 10}}, {0x14, {200, 10}}, {0x15, {200, 10}}, {0x18, {150, 10}},
        {0x1B, {130, 10}}, {0x1C, {100, 10}}, {0x1D, {100, 10}}, {0x20, {80, 10}},  {0x23, {60, 10}},
        {0x24, {60, 10}},  {0x25, {50, 10}},  {0x28, {40, 10}},  {0x2B, {32, 10}},  {0x2C, {30, 10}},
        {0x2D, {25, 10}},  {0x30, {20, 10}},  {0x33, {16, 10}},  {0x34, {15, 10}},  {0x35, {13, 10}},
        {0x38, {10, 10}},  {0x3B, {8, 10}},   {0x3C, {7, 10}},   {0x3D, {6, 10}},   {0x40, {5, 10}},
        {0x43, {4, 10}},   {0x44, {3, 10}},   {0x45, {3, 10}},   {0x48, {1, 4}},    {0x4B, {1, 5}},
        {0x4C, {1, 6}},    {0x4D, {1, 6}},    {0x50, {1, 8}},    {0x53, {1, 10}},   {0x54, {1, 10}},
        {0x55, {1, 13}},   {0x58, {1, 15}},   {0x5B, {1, 20}},   {0x5C, {1, 20}},   {0x5D, {1, 25}},
        {0x60, {1, 30}},   {0x63, {1, 40}},   {0x64, {1, 45}},   {0x65, {1, 50}},   {0x68, {1, 60}},
        {0x6B, {1, 80}},   {0x6C, {1, 90}},   {0x6D, {1, 100}},  {0x70, {1, 125}},  {0x73, {1, 160}},
        {0x74, {1, 180}},  {0x75, {1, 200}},  {0x78, {1, 250}},  {0x7B, {1, 320}},  {0x7C, {1, 350}},
        {0x7D, {1, 400}},  {0x80, {1, 500}},  {0x83, {1, 640}},  {0x84, {1, 750}},  {0x85, {1, 800}},
        {0x88, {1, 1000}}, {0x8B, {1, 1250}}, {0x8C, {1, 1500}}, {0x8D, {1, 1600}}, {0x90, {1, 2000}},
        {0x93, {1, 2500}}, {0x94, {1, 3000}}, {0x95, {1, 3200}}, {0x98, {1, 4000}}, {0x9B, {1, 5000}},
        {0x9C, {1, 6000}}, {0x9D, {1, 6400}}, {0xA0, {1, 8000}}};
    return table;
}

// Aperture in tenths of an f-number.
const std::map<uint32_t, uint32_t>& avTable()
{
    static const std::map<uint32_t, uint32_t> table = {
        {0x08, 10},  {0x0B, 11},  {0x0C, 12},  {0x0D, 12},  {0x10, 14},  {0x13, 16},  {0x14, 18},
        {0x15, 18},  {0x18, 20},  {0x1B, 22},  {0x1C, 25},  {0x1D, 25},  {0x20, 28},  {0x23, 32},
        {0x24, 35},  {0x25, 35},  {0x28, 40},  {0x2B, 45},  {0x2C, 45},  {0x2D, 50},  {0x30, 56},
        {0x33, 63},  {0x34, 67},  {0x35, 71},  {0x38, 80},  {0x3B, 90},  {0x3C, 95},  {0x3D, 100},
        {0x40, 110}, {0x43, 130}, {0x44, 130}, {0x45, 140}, {0x48, 160}, {0x4B, 180}, {0x4C, 190},
        {0x4D, 200}, {0x50, 220}, {0x53, 250}, {0x54, 270}, {0x55, 290}, {0x58, 320}, {0x5B, 360},
        {0x5C, 380}, {0x5D, 400}, {0x60, 450}, {0x63, 510}, {0x64, 540}, {0x65, 570}, {0x68, 640},
        {0x6B, 720}, {0x6C, 760}, {0x6D, 800}, {0x70, 910}};
    return table;
}

const std::map<uint32_t, uint32_t>& isoTable()
{
    static const std::map<uint32_t, uint32_t> table = {
        {0x28, 6},     {0x30, 12},    {0x38, 25},    {0x40, 50},    {0x48, 100},    {0x4B, 125},
        {0x4D, 160},   {0x50, 200},   {0x53, 250},   {0x55, 320},   {0x58, 400},    {0x5B, 500},
        {0x5D, 640},   {0x60, 800},   {0x63, 1000},  {0x65, 1250},  {0x68, 1600},   {0x6B, 2000},
        {0x6D, 2500},  {0x70, 3200},  {0x73, 4000},  {0x75, 5000},  {0x78, 6400},   {0x7B, 8000},
        {0x7D, 10000}, {0x80, 12800}, {0x83, 16000}, {0x85, 20000}, {0x88, 25600},  {0x8B, 32000},
        {0x8D, 40000}, {0x90, 51200}, {0x98, 102400}, {0xA0, 204800}, {0xA8, 409600}};
    return table;
}

} // namespace

std::optional<std::pair<uint32_t, uint32_t>> exposureTimeOf(uint32_t tvCode)
{
    const auto found = tvTable().find(tvCode);
    if (found == tvTable().end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<std::pair<uint32_t, uint32_t>> fNumberOf(uint32_t avCode)
{
    const auto found = avTable().find(avCode);
    if (found == avTable().end()) {
        return std::nullopt;
    }
    return std::make_pair(found->second, 10u);
}

// ISO Auto (code 0) is shot at ISO 400, as the simulated camera's automatic choice.
std::optional<uint32_t> isoSpeedOf(uint32_t isoCode)
{
    if (isoCode == 0) {
        return 400;
    }
    const auto found = isoTable().find(isoCode);
    if (found == isoTable().end()) {
        return std::nullopt;
    }
    return found->second;
}

} // namespace camsdk::detail
