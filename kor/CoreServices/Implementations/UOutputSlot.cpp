#include "kor/CoreServices/Implementations/UOutputSlot.h"

#include <new>

namespace kor {

namespace {

// Built on first use so that services created during static initialisation
// can wire their channels to them, whatever the order of initialisation.
struct OutputSlots {
  alignas(UOutputSlot) unsigned char storage[UOutputSlot::SLOT_NUM][sizeof(UOutputSlot)];
  UOutputSlot* slots[UOutputSlot::SLOT_NUM] = {};
  bool gone = false;

  void Build() {
    for (int i = 0; i < UOutputSlot::SLOT_NUM; ++i) slots[i] = new (storage[i]) UOutputSlot();
  }
  ~OutputSlots() {
    for (int i = UOutputSlot::SLOT_NUM - 1; i >= 0; --i) {
      if (slots[i]) slots[i]->~UOutputSlot();
      slots[i] = nullptr;
    }
    gone = true;
  }
};

OutputSlots& Slots() {
  static OutputSlots slots;
  if (slots.slots[0] == nullptr && !slots.gone) slots.Build();
  return slots;
}

}  // namespace

UOutputSlot* GetProcessOutputSlot(int number) {
  if (number < 0 || number >= UOutputSlot::SLOT_NUM) return nullptr;
  return Slots().slots[number];
}

}  // namespace kor
