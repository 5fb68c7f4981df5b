// Checks a printf template from the settings file before it is used, so a
// user's template with other placeholders than the program passes can never
// read arguments that are not there.
#pragma once

// 1 when the conversions of tmpl are exactly `expected`, one letter per
// conversion in order ("sds" for %s %d %s), else 0. "%%" may appear anywhere;
// flags (- + space # 0), a width and a precision of digits are allowed; '*',
// length modifiers, %n and a '%' at the end are refused. An expected 'd' also
// accepts the other int conversions (i u x X o c). nullptr never matches.
int FormatMatches(const char *tmpl, const char *expected_conversions);

// Writes the conversion letters of tmpl into out (cap bytes, terminated):
// 1 on success, 0 when tmpl is not an acceptable template or out is too small.
int FormatConversions(const char *tmpl, char *out, int cap);
