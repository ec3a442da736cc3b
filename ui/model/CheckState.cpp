#include "ui/model/CheckState.h"

namespace salvoran {

TCheckState NextCheckStateOfClick(TCheckType type, TCheckState current) {
  switch (type) {
    case ctTriStateCheckBox:
    case ctCheckBox:
      return current == csCheckedNormal ? csUncheckedNormal : csCheckedNormal;
    case ctRadioButton:
      return csCheckedNormal;
    case ctNone:
    case ctButton:
      break;
  }
  return current;
}

}  // namespace salvoran
