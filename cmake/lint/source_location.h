// source_location.h: read by clang-tidy only (cmake/lint.sh passes it with -include), never by
// the build. clang 14 lacks __builtin_source_location, so libstdc++ 12's <source_location>
// declares nothing under it and every file including common/report.h fails to parse.
// This stand-in gives the same interface from the older __builtin_FILE/__builtin_LINE, so the
// checks see the code as GCC compiles it. With a clang that has the builtin it does nothing.
#if defined(__cplusplus) && __cplusplus > 201703L && defined(__clang__) && \
    !__has_builtin(__builtin_source_location)
#include <cstdint>

namespace std {  // NOLINT(cert-dcl58-cpp): it stands in for the library's own
struct source_location {
    static constexpr source_location current(const char* file = __builtin_FILE(),
                                             const char* function = __builtin_FUNCTION(),
                                             uint_least32_t line = __builtin_LINE(),
                                             uint_least32_t column = __builtin_COLUMN()) noexcept {
        source_location where;
        where.file_ = file;
        where.function_ = function;
        where.line_ = line;
        where.column_ = column;
        return where;
    }
    constexpr const char* file_name() const noexcept { return file_; }
    constexpr const char* function_name() const noexcept { return function_; }
    constexpr uint_least32_t line() const noexcept { return line_; }
    constexpr uint_least32_t column() const noexcept { return column_; }

    const char* file_ = "";
    const char* function_ = "";
    uint_least32_t line_ = 0;
    uint_least32_t column_ = 0;
};
}  // namespace std
#endif
