#include "qasm3/syntax.hpp"

namespace qelto::qasm3 {

void SyntaxTree::clear() noexcept {
  expressions.clear();
  expression_lists.clear();
  refs.clear();
  statements.clear();
  details.clear();
  statement_lists.clear();
  names.clear();
}

}  // namespace qelto::qasm3
