#pragma once

// Preprocessor helpers that turn the parenthesised name lists of the gate
// table (src/ir/gates.def) into code: counts, string lists and declarations.
// Lists hold at most six names (the widest gate row has five qubits and the
// Python method of the widest parameter row six arguments).

#define QELTO_PP_CAT_(a, b) a##b
#define QELTO_PP_CAT(a, b) QELTO_PP_CAT_(a, b)
#define QELTO_PP_UNPAREN(...) __VA_ARGS__

// The number of names in `...` (0 for none).
#define QELTO_PP_COUNT(...) \
  QELTO_PP_COUNT_(__VA_OPT__(__VA_ARGS__, ) 6, 5, 4, 3, 2, 1, 0)
#define QELTO_PP_COUNT_(_1, _2, _3, _4, _5, _6, n, ...) n

// A comma when `...` is not empty.
#define QELTO_PP_COMMA_IF(...) __VA_OPT__(, )

// "a", "b", ... for the names a, b, ...
#define QELTO_PP_STRINGS(...) \
  QELTO_PP_CAT(QELTO_PP_STRINGS_, QELTO_PP_COUNT(__VA_ARGS__))(__VA_ARGS__)
#define QELTO_PP_STRINGS_0()
#define QELTO_PP_STRINGS_1(a) #a
#define QELTO_PP_STRINGS_2(a, b) #a, #b
#define QELTO_PP_STRINGS_3(a, b, c) #a, #b, #c
#define QELTO_PP_STRINGS_4(a, b, c, d) #a, #b, #c, #d
#define QELTO_PP_STRINGS_5(a, b, c, d, e) #a, #b, #c, #d, #e
#define QELTO_PP_STRINGS_6(a, b, c, d, e, f) #a, #b, #c, #d, #e, #f

// "a, b, ..." as one string literal (empty for none).
#define QELTO_PP_JOINED(...) \
  QELTO_PP_CAT(QELTO_PP_JOINED_, QELTO_PP_COUNT(__VA_ARGS__))(__VA_ARGS__)
#define QELTO_PP_JOINED_0() ""
#define QELTO_PP_JOINED_1(a) #a
#define QELTO_PP_JOINED_2(a, b) #a ", " #b
#define QELTO_PP_JOINED_3(a, b, c) #a ", " #b ", " #c
#define QELTO_PP_JOINED_4(a, b, c, d) #a ", " #b ", " #c ", " #d
#define QELTO_PP_JOINED_5(a, b, c, d, e) #a ", " #b ", " #c ", " #d ", " #e
#define QELTO_PP_JOINED_6(a, b, c, d, e, f) \
  #a ", " #b ", " #c ", " #d ", " #e ", " #f

// `T a, T b, ...` for the names a, b, ... (a parameter declaration list).
#define QELTO_PP_DECLS(T, ...)                                       \
  QELTO_PP_CAT(QELTO_PP_DECLS_, QELTO_PP_COUNT(__VA_ARGS__))         \
  (T __VA_OPT__(, ) __VA_ARGS__)
#define QELTO_PP_DECLS_0(T)
#define QELTO_PP_DECLS_1(T, a) T a
#define QELTO_PP_DECLS_2(T, a, b) T a, T b
#define QELTO_PP_DECLS_3(T, a, b, c) T a, T b, T c
#define QELTO_PP_DECLS_4(T, a, b, c, d) T a, T b, T c, T d
#define QELTO_PP_DECLS_5(T, a, b, c, d, e) T a, T b, T c, T d, T e

// The same operations on a parenthesised list `(a, b, ...)`.
#define QELTO_PP_LIST_COUNT(list) QELTO_PP_APPLY(QELTO_PP_COUNT, list)
#define QELTO_PP_LIST_STRINGS(list) QELTO_PP_APPLY(QELTO_PP_STRINGS, list)
#define QELTO_PP_LIST_COMMA_IF(list) QELTO_PP_APPLY(QELTO_PP_COMMA_IF, list)
#define QELTO_PP_LIST_DECLS(T, list) QELTO_PP_APPLY_T(QELTO_PP_DECLS, T, list)
// "a, b, ..." for the names of two lists one after the other.
#define QELTO_PP_LISTS_JOINED(first, second)              \
  QELTO_PP_JOINED_I(QELTO_PP_UNPAREN first                 \
                        QELTO_PP_LIST_COMMA_IF(first)      \
                            QELTO_PP_UNPAREN second)
#define QELTO_PP_JOINED_I(...) QELTO_PP_JOINED(__VA_ARGS__)

#define QELTO_PP_APPLY(macro, list) \
  QELTO_PP_APPLY_I(macro, QELTO_PP_UNPAREN list)
#define QELTO_PP_APPLY_I(macro, ...) macro(__VA_ARGS__)
#define QELTO_PP_APPLY_T(macro, T, list) \
  QELTO_PP_APPLY_T_I(macro, T, QELTO_PP_UNPAREN list)
#define QELTO_PP_APPLY_T_I(macro, T, ...) macro(T, __VA_ARGS__)
