// qor_serv_print: the message catalogue of the vector-math error reporters.
//
// Messages 735-741 open a report about one bad element (the function's name, and for a bad
// size the offending value); 742-753 follow with one line per argument or result value,
// each given as (element index, value widened to double).
#include <cstdarg>
#include <cstdio>

#include "qor/service.h"
#include "service/testing.h"

namespace qor::serv {
namespace {
FILE* g_stream = nullptr;  // null: stderr

struct Message {
  int number;
  const char* format;  // printf format of the message's arguments
};

constexpr Message kCatalogue[] = {
    {735, "%s: the size argument %d is not valid (it must not be negative)\n"},
    {736, "%s: a pointer argument is null or not valid\n"},
    {737, "%s: argument outside the domain of the function; the result is NaN\n"},
    {738, "%s: singularity (the function has a pole at this argument); the result is infinite\n"},
    {739, "%s: overflow (the exact result is too large to represent); the result is infinite\n"},
    {740, "%s: underflow (the exact result is too small for full precision); the result is "
          "zero or subnormal\n"},
    {741, "%s: the function reported an error for one element\n"},
    {742, "    argument    x[%d] = %.17g\n"},
    {743, "    result      r[%d] = %.17g\n"},
    {744, "    argument    x[%d] = %.17g\n"},
    {745, "    result 1   r1[%d] = %.17g\n"},
    {746, "    result 2   r2[%d] = %.17g\n"},
    {747, "    argument 1  x[%d] = %.17g\n"},
    {748, "    argument 2  y[%d] = %.17g\n"},
    {749, "    result      r[%d] = %.17g\n"},
    {750, "    argument 1  x[%d] = %.17g\n"},
    {751, "    argument 2  y[%d] = %.17g\n"},
    {752, "    result 1   r1[%d] = %.17g\n"},
    {753, "    result 2   r2[%d] = %.17g\n"},
};
}  // namespace

void set_print_stream(FILE* stream) { g_stream = stream; }

const char* message_format(int number) {
  for (const Message& m : kCatalogue)
    if (m.number == number) return m.format;
  return nullptr;
}

}  // namespace qor::serv

extern "C" QOR_API int32_t qor_serv_print(int32_t selector, int32_t number, int32_t nargs, ...) {
  const char* fmt = qor::serv::message_format(number);
  if (selector != 1 || !fmt || nargs < 1 || nargs > 2) return -1;
  FILE* out = qor::serv::g_stream ? qor::serv::g_stream : stderr;
  va_list ap;
  va_start(ap, nargs);
  int written = std::vfprintf(out, fmt, ap);
  va_end(ap);
  std::fflush(out);
  return written;
}
