// The decimal separator of the class library's number conversions. It starts
// as the user's locale has it and can be overwritten (tests pin it).
#pragma once

// The current separator: the locale's until SetDecimalSeparator is called.
char DecimalSeparator();
void SetDecimalSeparator(char separator);

// The separator of the user's locale as the platform reports it; "." when
// the platform has none.
char LocaleDecimalSeparator();
