#include "python/binding/borrow.hpp"

namespace qelto::python {

SharedBorrow::SharedBorrow(BorrowFlag& flag)
    : flag_(flag.try_share() ? &flag : nullptr) {
  if (flag_ == nullptr) {
    PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
  }
}

ExclusiveBorrow::ExclusiveBorrow(BorrowFlag& flag)
    : flag_(flag.try_exclusive() ? &flag : nullptr) {
  if (flag_ == nullptr) {
    PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
  }
}

}  // namespace qelto::python
