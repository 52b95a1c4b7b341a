// Prints the regional settings the program takes from the system it runs
// on, "decimal separator|date separator|short date format": the tests run it
// under the environment of each case, as a user's session would start the
// program.

#include "FormatSettings.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const TFormatSettings fs = TFormatSettings::fromSystem();
    QTextStream(stdout) << fs.DecimalSeparator << '|' << fs.DateSeparator << '|' << fs.ShortDateFormat << Qt::endl;
    return 0;
}
