#include "python/binding/borrow.hpp"

#include "python/binding/entry.hpp"

namespace qelto::python {

SharedBorrow::SharedBorrow(BorrowFlag& flag)
    : flag_(flag.try_share() ? &flag : nullptr) {
  if (flag_ == nullptr) {
    PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
  }
}

void ExclusiveBorrow::refuse(OnConflict on_conflict) {
  if (on_conflict == OnConflict::kInternalFault) {
    raise_internal_fault("Already borrowed");
    return;
  }
  PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
}

}  // namespace qelto::python
