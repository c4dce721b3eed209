// arvex-make-icons DIR: draw the printers' icons at build time, PNG files of
// 48, 128 and 512 pixels for the colour and the monochrome models:
// DIR/arvex-colour-48.png ... DIR/arvex-mono-512.png. A desk printer seen
// from the front: the paper tray on top, the body with its panel, a sheet
// coming out, and the toner colours on the sheet (grey for monochrome).

#include <cairo.h>

#include <cstdio>
#include <string>

namespace {

struct Colour {
  double r, g, b;
};

void rounded(cairo_t *cr, double x, double y, double w, double h, double radius)
{
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -1.5708, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, 1.5708);
  cairo_arc(cr, x + radius, y + h - radius, radius, 1.5708, 3.14159);
  cairo_arc(cr, x + radius, y + radius, radius, 3.14159, 4.71239);
  cairo_close_path(cr);
}

void fill(cairo_t *cr, Colour c)
{
  cairo_set_source_rgb(cr, c.r, c.g, c.b);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.15, 0.17, 0.2);
  cairo_stroke(cr);
}

// The icon on a 100 × 100 canvas, scaled to size pixels.
bool draw(const std::string &path, int size, bool colour)
{
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t *cr = cairo_create(surface);
  cairo_scale(cr, size / 100.0, size / 100.0);
  cairo_set_line_width(cr, 2.5);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

  rounded(cr, 24, 8, 52, 26, 3);  // paper in the tray
  fill(cr, {1, 1, 1});
  rounded(cr, 8, 28, 84, 44, 8);  // body
  fill(cr, {0.55, 0.6, 0.66});
  rounded(cr, 60, 36, 24, 10, 2);  // panel
  fill(cr, {0.2, 0.45, 0.7});
  rounded(cr, 20, 58, 60, 36, 3);  // sheet coming out
  fill(cr, {1, 1, 1});
  const Colour toner[] = {{0, 0.68, 0.94}, {0.92, 0, 0.55}, {1, 0.85, 0}, {0.1, 0.1, 0.1}};
  for (int i = 0; i < 4; ++i) {
    const double grey = 0.25 + 0.15 * i;
    const Colour c = colour ? toner[i] : Colour{grey, grey, grey};
    cairo_rectangle(cr, 27 + 12 * i, 70, 10, 14);
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_fill(cr);
  }
  const bool written = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  return written;
}

}  // namespace

int main(int argc, char *argv[])
{
  if (argc != 2) {
    std::fputs("Usage: arvex-make-icons DIR\n", stderr);
    return 1;
  }
  for (const bool colour : {true, false}) {
    for (const int size : {48, 128, 512}) {
      const std::string path =
          std::string(argv[1]) + "/arvex-" + (colour ? "colour" : "mono") + "-" + std::to_string(size) + ".png";
      if (!draw(path, size, colour)) {
        std::fprintf(stderr, "arvex-make-icons: can't write %s\n", path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
