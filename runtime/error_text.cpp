/* The error texts: the table's numbers in its order, and its texts as one
   block in the same order, each found by the position of its number. */
#include "runtime/error_number.h"
#include "runtime/bytes.h"

#define ERROR_ROW(number, name, text) number,
static constexpr unsigned char error_numbers[] = {ERROR_NUMBERS};
#undef ERROR_ROW
#define ERROR_ROW(number, name, text) text "\0"
static constexpr char error_texts[] = ERROR_NUMBERS;
#undef ERROR_ROW

static_assert(count_texts(error_texts, sizeof error_texts) == sizeof error_numbers,
              "no text holds a zero of its own");
static_assert(are_distinct(error_numbers, sizeof error_numbers), "each number has one row");

static const char unknown_error[] = "Unknown error";

const char *get_error_text(int number)
{
    for (size_t i = 0; i < sizeof error_numbers; i++)
        if (error_numbers[i] == number)
            return find_text(error_texts, (int)i);
    return unknown_error;
}
