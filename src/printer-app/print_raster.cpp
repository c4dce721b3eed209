// Raster jobs (PWG and Apple raster, JPEG, PNG): PAPPL hands over the pages
// line by line; each page becomes an image on a page of a PDF that cairo
// writes to a temporary file, and the finished PDF goes to the printer in
// the same PJL frame as any PDF job. Nothing reaches the printer before the
// whole document has been rendered.

#include "printer_app.h"

#include "job_control.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace arvex::app {

namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t *surface) const { cairo_surface_destroy(surface); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
struct FileCloser {
  void operator()(FILE *file) const { std::fclose(file); }
};

// What a raster job builds up between its callbacks.
struct RasterJob {
  SecretValues secrets;
  std::unique_ptr<FILE, FileCloser> pdf{std::tmpfile()};
  Surface document;  // the PDF, written to pdf
  Surface page;      // the current page's image, 0x00RRGGBB pixels
  cups_page_header2_t header = {};
  unsigned pages = 0;
};

cairo_status_t writeToFile(void *file, const unsigned char *data, unsigned int length)
{
  return std::fwrite(data, 1, length, static_cast<FILE *>(file)) == length ? CAIRO_STATUS_SUCCESS
                                                                           : CAIRO_STATUS_WRITE_ERROR;
}

RasterJob *rasterJob(pappl_job_t *job)
{
  return static_cast<RasterJob *>(papplJobGetData(job));
}

// End the job's raster state; false with the message as the result.
bool fail(pappl_job_t *job, const char *message)
{
  delete rasterJob(job);
  papplJobSetData(job, nullptr);
  papplJobSetMessage(job, "%s", message);
  return false;
}

uint32_t rgb(unsigned r, unsigned g, unsigned b)
{
  return (r << 16) | (g << 8) | b;
}

// Whether the page's pixels are of a type the printers advertise
// (pwg-raster-document-type-supported sgray_8, srgb_8; urf-supported W8,
// SRGB24), the types in which PAPPL also renders JPEG and PNG.
bool supportedPixels(const cups_page_header2_t &h)
{
  return (h.cupsBitsPerPixel == 8 && h.cupsColorSpace == CUPS_CSPACE_SW) ||
         (h.cupsBitsPerPixel == 24 && h.cupsColorSpace == CUPS_CSPACE_SRGB);
}

}  // namespace

// The job's settings are checked before its pages are rendered.
bool rasterStartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t * /*device*/)
{
  auto state = std::make_unique<RasterJob>();
  JobRequest request;
  std::string control;
  bool needsControl = false;
  if (!takeJobSecrets(job, state->secrets) ||
      !jobRequest(job, options, modelOf(job), true, state->secrets, request) ||
      !jobControlOptions(job, modelOf(job), state->secrets, control, needsControl))
    return false;
  if (!state->pdf) {
    papplJobSetMessage(job, "No room for the job's PDF in the temporary directory.");
    return false;
  }
  // Every page sets its own size; cairo needs one to start with.
  // Letter until the first page sets its own size.
  state->document.reset(cairo_pdf_surface_create_for_stream(writeToFile, state->pdf.get(), 612, 792));
  papplJobSetData(job, state.release());
  return true;
}

bool rasterStartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t * /*device*/, unsigned /*page*/)
{
  RasterJob *state = rasterJob(job);
  const cups_page_header2_t &h = options->header;
  if (!state)
    return false;
  if (!supportedPixels(h) || h.HWResolution[0] == 0 || h.HWResolution[1] == 0)
    return fail(job, "The raster page has a colour space, depth or resolution the printer can't take.");
  state->header = h;
  state->page.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(h.cupsWidth),
                                               static_cast<int>(h.cupsHeight)));
  if (cairo_surface_status(state->page.get()) != CAIRO_STATUS_SUCCESS)
    return fail(job, "The raster page is too large to render.");
  cairo_surface_flush(state->page.get());
  cairo_pdf_surface_set_size(state->document.get(), h.cupsWidth * 72.0 / h.HWResolution[0],
                             h.cupsHeight * 72.0 / h.HWResolution[1]);
  return true;
}

bool rasterWriteLine(pappl_job_t *job, pappl_pr_options_t * /*options*/, pappl_device_t * /*device*/, unsigned y,
                     const unsigned char *line)
{
  RasterJob *state = rasterJob(job);
  if (!state || !state->page || y >= state->header.cupsHeight)
    return false;
  const cups_page_header2_t &h = state->header;
  cairo_surface_t *page = state->page.get();
  auto *row = reinterpret_cast<uint32_t *>(cairo_image_surface_get_data(page) +
                                           static_cast<size_t>(y) * cairo_image_surface_get_stride(page));
  const bool gray = h.cupsBitsPerPixel == 8;
  for (unsigned x = 0; x < h.cupsWidth; ++x)
    row[x] = gray ? rgb(line[x], line[x], line[x]) : rgb(line[3 * x], line[3 * x + 1], line[3 * x + 2]);
  return true;
}

bool rasterEndPage(pappl_job_t *job, pappl_pr_options_t * /*options*/, pappl_device_t * /*device*/, unsigned /*page*/)
{
  RasterJob *state = rasterJob(job);
  if (!state || !state->page)
    return false;
  cairo_surface_mark_dirty(state->page.get());
  cairo_t *cr = cairo_create(state->document.get());
  cairo_scale(cr, 72.0 / state->header.HWResolution[0], 72.0 / state->header.HWResolution[1]);
  cairo_set_source_surface(cr, state->page.get(), 0, 0);
  // The raster's pixels as they are, not smoothed (no /Interpolate).
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_paint(cr);
  cairo_show_page(cr);
  const cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  state->page.reset();
  if (status != CAIRO_STATUS_SUCCESS)
    return fail(job, cairo_status_to_string(status));
  ++state->pages;
  return true;
}

bool rasterEndJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device)
{
  std::unique_ptr<RasterJob> state(rasterJob(job));
  papplJobSetData(job, nullptr);
  if (!state)
    return false;  // a callback before has failed and said why
  if (papplJobIsCanceled(job) || papplJobGetState(job) == IPP_JSTATE_ABORTED)
    return false;  // nothing has gone to the printer
  if (state->pages == 0) {
    papplJobSetMessage(job, "The document has no pages.");
    return false;
  }
  cairo_surface_finish(state->document.get());
  if (cairo_surface_status(state->document.get()) != CAIRO_STATUS_SUCCESS || std::fflush(state->pdf.get()) != 0) {
    papplJobSetMessage(job, "Can't write the job's PDF: %s.",
                       cairo_status_to_string(cairo_surface_status(state->document.get())));
    return false;
  }
  const int fd = fileno(state->pdf.get());
  lseek(fd, 0, SEEK_SET);
  return printDocument(job, options, device, fd, true, state->secrets);
}

}  // namespace arvex::app
