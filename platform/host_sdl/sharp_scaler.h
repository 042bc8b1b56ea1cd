// The sharp filter: every window pixel shows the average of the picture
// pixels it covers, each weighted by how much of it it covers (area
// coverage), on each axis on its own, rounded to the nearest 8-bit value. At
// a whole-number scale that is nearest-neighbour; enlarged, a window pixel
// blends two picture pixels only where it straddles their border; reduced,
// it averages instead of dropping rows and columns.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "picture_layout.h"

namespace vh::platform {

class SharpScaler {
  public:
    // A window pixel's weights on one axis sum to 1 << kWeightBits. They are
    // exact wherever the picture pixels a window pixel spans divide into
    // 128ths, as they do at the usual screens' scales; elsewhere each is
    // within half a 128th.
    static constexpr int kWeightBits = 7;

    // `vectors` false keeps to the plain loops, as on a processor without
    // AVX2; both give the same pixels.
    explicit SharpScaler(bool vectors = true);
    void relayout(const PictureLayout& layout);
    // Draws every window pixel that shows part of `changed` of `picture`
    // into `target`, from the whole picture, so that blended borders come
    // out as drawing the whole would. Both surfaces have 4 bytes a pixel.
    // Answers the window rectangle drawn.
    SDL_Rect draw(const SDL_Surface* picture, const SDL_Rect& changed, SDL_Surface* target);

    // The picture pixels one window column or row covers: `count` of them
    // from `first`, their weights from `weights[at]`.
    struct Span {
        int first = 0;
        int count = 0;
        int at = 0;
    };
    // Spans and weights for every window column or row of one axis.
    struct Axis {
        std::vector<Span> spans;
        std::vector<int16_t> weights;
        int widest = 0;  // the largest count

        void build(int pictureSize, int drawnSize);
        // The window columns or rows [begin, end) that cover any picture
        // pixel of [from, to).
        void covering(int from, int to, int& begin, int& end) const;
    };

  private:
    PictureLayout layout_;
    Axis columns_;
    Axis rows_;
    bool vectors_ = true;
    // Picture rows blended across: four 16-bit channel sums a window column
    // drawn, for the last rows_.widest picture rows, each in the slot its
    // row number modulo rows_.widest names; `held_` says which row a slot
    // holds (-1: none yet this draw).
    std::vector<uint16_t> across_;
    std::vector<int> held_;
    std::vector<const uint16_t*> blended_;  // the rows one window row covers
    // Where no window column covers more than two picture columns, what the
    // vector loop needs a window column: which of the 16 bytes read from the
    // first picture pixel of its pair (columns 2i and 2i + 1) each of its
    // channels' two taps takes, and the two weights as signed bytes (a whole
    // 128 is split into 64 and 64 of one byte). The pairs of the first
    // `paired_` window columns read no byte past the picture's row.
    std::vector<uint8_t> picks_;
    std::vector<int8_t> tapWeights_;
    int paired_ = 0;
};

}  // namespace vh::platform
