#pragma once

#include <cstdint>

namespace salvoran {

// How a node's check mark is drawn and behaves.
enum TCheckType : uint8_t { ctNone, ctTriStateCheckBox, ctCheckBox, ctRadioButton, ctButton };

// "Pressed" is the look while the mouse button is down over the mark.
enum TCheckState : uint8_t {
  csUncheckedNormal,
  csUncheckedPressed,
  csCheckedNormal,
  csCheckedPressed,
  csMixedNormal,
  csMixedPressed
};

inline constexpr int CheckStateCount = csMixedPressed + 1;

inline constexpr bool IsUnchecked(TCheckState state) {
  return state == csUncheckedNormal || state == csUncheckedPressed;
}
inline constexpr bool IsChecked(TCheckState state) { return state == csCheckedNormal || state == csCheckedPressed; }
inline constexpr bool IsMixed(TCheckState state) { return state == csMixedNormal || state == csMixedPressed; }

// Check boxes, tri-state or not, take part in tracking between parents and children.
inline constexpr bool IsTrackedCheckType(TCheckType type) { return type == ctTriStateCheckBox || type == ctCheckBox; }

// The state a click (or the space key) gives a node: a check box goes from checked to unchecked
// and from anything else to checked; a radio button becomes checked; nodes without a check mark
// and buttons keep their state.
TCheckState NextCheckStateOfClick(TCheckType type, TCheckState current);

}  // namespace salvoran
