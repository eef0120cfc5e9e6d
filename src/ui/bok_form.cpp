#include "ui/bok_form.h"

#include "platform/system.h"

namespace tavrin {

// Placeholder until the grid editor lands: checks the file only.
TBokF::TBokF(std::string program_folder, QWidget* parent)
    : QDialog(parent), program_folder_(std::move(program_folder)) {
  setObjectName("BokF");
  setWindowTitle("Verse reference book names");
}

void TBokF::LoadBookNames() { ReadWholeFile(program_folder_ + "tavrin.bok"); }

}  // namespace tavrin
