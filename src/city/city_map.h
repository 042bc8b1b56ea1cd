// The city: an 8 x 8 grid of lots, each with four ambiance values, and the
// shared art that every lot is drawn with.
#pragma once

#include <cstdint>

#include "app/result_code.h"
#include "display/sprite_registry.h"

// The four axes; each shows one marker for a positive value, another for a
// negative one. Marker k = 2i is axis i's positive marker, 2i + 1 its negative.
enum AmbianceAxis : int32_t {
    GreenPolluting = 0,
    CriminalLawful = 1,
    NoisyQuiet = 2,
    ArcaneTechy = 3
};
enum AmbianceMarker : int32_t {
    Green = 0,
    Polluting = 1,
    Criminal = 2,
    Lawful = 3,
    Noisy = 4,
    Quiet = 5,
    Arcane = 6,
    Techy = 7
};

struct MapBounds {
    int32_t minColumn;
    int32_t minRow;
    int32_t maxColumn;
    int32_t maxRow;
};

class Lot {
  public:
    Lot();
    ResultCode init();
    int8_t value(int32_t row, int32_t column) const { return values[row * 5 + column]; }
    ResultCode draw(int32_t x, int32_t y) const;

    // A 5 x 5 table, row by row; axis i's ambiance value is row i, column 4.
    int8_t values[25];
    bool initialised;
};

class CityMap {
  public:
    static constexpr int32_t kColumns = 8;
    static constexpr int32_t kRows = 8;
    static constexpr int32_t kLotSize = 128;

    CityMap();
    MapBounds bounds() const { return bounds_; }
    ResultCode drawLot(int32_t column, int32_t row, int32_t x, int32_t y) const;

    MapBounds bounds_;
    Lot lots[kColumns * kRows];  // column by column: (m, n) is element m * 8 + n
};

// Entry 0 is the base lot, entry 1 + k marker k; -1 until loaded.
constexpr int32_t kLotArtCount = 9;
extern SpriteId lotArtIds[kLotArtCount];

// Draws marker k (0..7) with its top-left corner at (x, y).
ResultCode drawAmbianceMarker(int32_t x, int32_t y, int32_t k);
// Fills the shared lot art's existing sprites from their files again, after
// the display surfaces were restored. Makes no sprite and takes no slot.
ResultCode reloadLotArt();
