// arvex-make-testpage FILE: draw the Printer Application's test page, an A4
// PDF, at build time. The page shows the printable-area frame (12 points in),
// colour and grey patches, a grey ramp and fine lines.

#include <cairo-pdf.h>
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char *argv[])
{
  if (argc != 2) {
    std::fputs("Usage: arvex-make-testpage FILE.pdf\n", stderr);
    return 1;
  }
  const double width = 595, height = 842, margin = 12;
  cairo_surface_t *surface = cairo_pdf_surface_create(argv[1], width, height);
  cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, "Arvex Printer Application Test Page");
  // Reproducible builds: the date the build is given, when it is given one.
  if (const char *epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    const std::time_t when = std::strtoll(epoch, nullptr, 10);
    char date[32];
    std::strftime(date, sizeof(date), "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&when));
    cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_CREATE_DATE, date);
  }
  cairo_t *cr = cairo_create(surface);

  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, margin + 0.5, margin + 0.5, width - 2 * margin - 1, height - 2 * margin - 1);
  cairo_stroke(cr);

  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, 24);
  cairo_move_to(cr, 60, 100);
  cairo_show_text(cr, "Arvex Printer Application");
  cairo_set_font_size(cr, 14);
  cairo_move_to(cr, 60, 125);
  cairo_show_text(cr, "Test page");

  // Cyan, magenta, yellow, black, red, green, blue.
  const double patches[][3] = {{0, 1, 1}, {1, 0, 1}, {1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int i = 0; i < 7; ++i) {
    cairo_set_source_rgb(cr, patches[i][0], patches[i][1], patches[i][2]);
    cairo_rectangle(cr, 60 + i * 68, 170, 60, 60);
    cairo_fill(cr);
  }
  // Grey ramp, white to black, in 5 % steps.
  for (int i = 0; i <= 20; ++i) {
    cairo_set_source_rgb(cr, 1 - i / 20.0, 1 - i / 20.0, 1 - i / 20.0);
    cairo_rectangle(cr, 60 + i * 22.6, 260, 22.6, 40);
    cairo_fill(cr);
  }
  // Lines of 2, 1, 0.5 and 0.25 points.
  cairo_set_source_rgb(cr, 0, 0, 0);
  for (int i = 0; i < 4; ++i) {
    cairo_set_line_width(cr, 2.0 / (1 << i));
    cairo_move_to(cr, 60, 340 + i * 20);
    cairo_line_to(cr, width - 60, 340 + i * 20);
    cairo_stroke(cr);
  }

  cairo_show_page(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  const cairo_status_t status = cairo_surface_status(surface);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "arvex-make-testpage: %s\n", cairo_status_to_string(status));
    return 1;
  }
  return 0;
}
