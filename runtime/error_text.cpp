/* The error texts, one block in the order of the error numbers. */
#include "runtime/error_number.h"
#include "runtime/bytes.h"

#define TEXT_OF(name, number, text) text "\0"
#define EMPTY_TEXT(number) "\0"
static constexpr char error_texts[] = ERROR_NUMBERS(TEXT_OF, EMPTY_TEXT);

#define NUMBER_OF(name, number, text) number,
#define NUMBER_WITHOUT_TEXT(number) number,
static constexpr int listed_numbers[] = {ERROR_NUMBERS(NUMBER_OF, NUMBER_WITHOUT_TEXT)};

static_assert(is_counted_from_zero(listed_numbers, ERROR_TEXT_COUNT),
              "every error number from 0 in order, each at its text's position");
static_assert(count_texts(error_texts, sizeof error_texts) == ERROR_TEXT_COUNT,
              "no text holds a zero of its own");

static const char unknown_error[] = "Unknown error";

/* An empty text is a number without a text of its own. */
const char *get_error_text(int number)
{
    if (number < 0 || number >= ERROR_TEXT_COUNT)
        return unknown_error;
    const char *text = find_text(error_texts, number);
    return *text ? text : unknown_error;
}
