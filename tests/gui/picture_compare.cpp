// picture_compare GOLDEN PICTURE DIFF: a picture of the panel (`vantel shot` of program 0,
// at any zoom) against its golden, by the rule of the editor's picture tests (Pictures.h) with the
// panel's text boxes. Exit status 0 when it passes; 1 when not (DIFF then written); 2 when
// a picture cannot be read.
#include <cstdio>

#include "Pictures.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: picture_compare GOLDEN PICTURE DIFF\n");
        return 2;
    }
    const guitest::PlatformImagePtr golden = guitest::readPng(argv[1]);
    const guitest::PlatformImagePtr picture = guitest::readPng(argv[2]);
    if (!golden || !picture) {
        std::fprintf(stderr, "picture_compare: %s cannot be read\n", golden ? argv[2] : argv[1]);
        return 2;
    }
#if defined(_WIN32)
    // The picture's zoom follows from its width (the panel is 942 pixels wide at 100 %).
    const std::vector<guitest::TextBox> boxes = guitest::panelTextBoxes(picture->getWidth() / 942.0);
    const int rounding = 0;
#else
    const std::vector<guitest::TextBox> boxes;  // the goldens' own renderer: all of it, within rounding
    const int rounding = 3;
#endif
    const guitest::PictureDifference difference =
        guitest::compare(picture->pixels(), golden->pixels(), boxes, rounding);
    std::printf("%s\n", difference.describe().c_str());
    if (difference.passes()) return 0;
    guitest::writeDifference(picture->pixels(), golden->pixels(), boxes, argv[3]);
    return 1;
}
