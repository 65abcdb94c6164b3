// FEHLER 110 (151): the image is larger than the device's flash ROM. Both
// sizes are shown in whole MiB, the image's rounded down.
#include <string>

#include "desktop/session/update_session.h"
#include "desktop/pages/screen_common.h"
#include "desktop/pages/screen_procedures.h"

namespace corvash::pages {

using namespace resources::ids;

namespace {


std::string SizeLine(uint32_t megabytes) {
  return LabelValue(std::to_string(megabytes), PageText(kTextMegabytes));
}

class ImageTooLargeScreen final : public PageProcedure {
 public:
  ImageTooLargeScreen(const session::ChosenImage& image, const session::HandheldIdentity& handheld)
      : image_(image), handheld_(handheld) {}

  void OnOpen(PageDialog& page) override {
    OpenScreen(page, {{kImageTooLargeHeading, kTextImageTooLargeHeading},
                      {{kImageTooLargeAdvice, kTextImageTooLargeAdvice},
                       {kImageSizeLabel, kTextImageSizeLabel},
                       {kFlashSizeLabel, kTextFlashSizeLabel},
                       {kImageTooLargeQuitHint, kTextClickToQuit}}});
    page.SetText(kImageSize, SizeLine(image_.imageSizeKB >> 10));
    page.SetText(kFlashSize, SizeLine(handheld_.flashSizeMB));
  }

  void OnCommand(PageDialog& page, int commandId) override {
    if (commandId == kButtonCancel) page.End(1);
  }

 private:
  const session::ChosenImage& image_;
  const session::HandheldIdentity& handheld_;
};

}  // namespace

std::unique_ptr<PageProcedure> MakeImageTooLargeScreen(const session::ChosenImage& image,
                                                        const session::HandheldIdentity& handheld) {
  return std::make_unique<ImageTooLargeScreen>(image, handheld);
}

}  // namespace corvash::pages
