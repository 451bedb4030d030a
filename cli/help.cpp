#include "cli/help.h"

namespace tidalhalo::cli {
namespace {

constexpr const char *kOverview = R"(tidalhalo - draws the Kv_Tidalhalo ring onto pictures through the effect module

usage:
  tidalhalo render [INPUT] [-o OUTPUT] [options]   render the effect onto a picture or a frame range
  tidalhalo sheet  [INPUT] [-o OUTPUT] [options]   the five blend modes side by side
  tidalhalo info   [MODULE] [--json]               what a module declares about itself
  tidalhalo help COMMAND                           options of one command
  tidalhalo --version

Without INPUT the built-in 1920x1080 test card is used. Without --module the
native module built beside this program is loaded.
)";

constexpr const char *kPictureOptions = R"(
Input and output:
  INPUT                  PNG (8 or 16-bit, grey or colour, with or without alpha)
                         or OpenEXR, up to 32767 pixels a side and 268435456
                         (2^28) pixels in all; none: the built-in test card
  -o, --output FILE      .png (8-bit; 16-bit for 16-bit and float renders) or
                         .exr (32-bit float, premultiplied); default %OUTPUT%
  --depth 8|16|32        the host's pixel depth to render at (default: the
                         input's own, 8 for the test card)
  --module PATH          the effect module to load (default: the one built
                         beside this program)

Effect parameters (ranges are the module's own; see tidalhalo info):
  --center X,Y           ring centre in layer pixels (default: the layer's centre)
  --radius N             ring radius in pixels, 0 to 10000 (default 100)
  --feather N            width of the outer fall-off in pixels, 0 to 10000 (default 3)
  --expand PERCENT       share of the radius the inner rise takes, 0 to 100 (default 50)
  --opacity PERCENT      0 to 100 (default 100)
  --scatter N            random roughness, 0 to 512 (default 0)
  --color1 #RRGGBB       colour where the ring is full (default #FFFFFF)
  --color2 #RRGGBB       colour where the ring is weak (default #007FFF)
  --smooth, --no-smooth  raised-cosine softening (default on)
%BLEND%
Rendering:
  --pixel-aspect N/D     the layer's pixel aspect ratio (default 1/1)
  --downsample X[,Y]     proxy render at 1/X by 1/Y of full size (default 1)
  --threads N            threads for the render and for writing, 0 = all
                         cores (default 0)
  --compression fast|default|small
                         PNG output: fast writes larger files, small takes
                         longer for smaller ones (default: default)
  --frame N              the frame to render (default 0)
)";

constexpr const char *kBlendOption =
    R"(  --blend MODE           none, normal, add, stencil-multiply or
                         stencil-multiply-alpha (default none)
)";

constexpr const char *kAnimation = R"(  --frames A-B           render frames A to B; OUTPUT (and INPUT, if it is a
                         sequence) holds a run of # for the frame number,
                         as in halo_####.png
  --fps N|N/D            frame rate (default 24; 30000/1001 for 29.97)

Keyframes: give --center or a numeric parameter once per key, as VALUE@FRAME
(FRAME a whole frame number from 0).
Values change linearly between keys and hold before the first and after the
last key.
  tidalhalo render --frames 0-47 -o grow_####.png --radius 20@0 --radius 400@47
  tidalhalo render --center 200,540@0 --center 1720,540@24 --frame 12 -o mid.png
)";

std::string Replace(std::string text, const std::string &key, const std::string &value) {
    const std::size_t at = text.find(key);
    return at == std::string::npos ? text : text.replace(at, key.size(), value);
}

}  // namespace

std::string HelpText(Command command) {
    switch (command) {
    case Command::Render:
        return Replace(Replace(std::string("usage: tidalhalo render [INPUT] [-o OUTPUT] [options]\n\n"
                                           "Renders the effect onto INPUT through the effect module.\n") +
                                   kPictureOptions + kAnimation,
                               "%OUTPUT%", "halo.png"),
                       "%BLEND%", kBlendOption);
    case Command::Sheet:
        return Replace(Replace(std::string("usage: tidalhalo sheet [INPUT] [-o OUTPUT] [options]\n\n"
                                           "Renders the five blend modes side by side, in the order\n"
                                           "of the effect's popup: none, normal, add, stencil-multiply,\n"
                                           "stencil-multiply-alpha. Use --downsample for a small sheet.\n") +
                                   kPictureOptions,
                               "%OUTPUT%", "sheet.png"),
                       "%BLEND%", "");
    case Command::Info:
        return "usage: tidalhalo info [MODULE] [--json]\n\n"
               "Prints what the module declares: about text, name, category, match name,\n"
               "version, flags and the parameters with their types, ranges, defaults and\n"
               "identifiers. A Windows .aex is read without being run: its registration\n"
               "resource is shown. MODULE defaults to the native module built beside\n"
               "this program.\n\n"
               "  --json          the same as one JSON object, for scripts\n"
               "  --module PATH   the same as giving MODULE\n";
    default:
        return kOverview;
    }
}

}  // namespace tidalhalo::cli
