#include "Startup.h"

#include <QApplication>
#include <csignal>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // A backup that outgrows the system's file size limit must fail its
    // write, which is reported, instead of ending the program on the spot.
    std::signal(SIGXFSZ, SIG_IGN);
    return Startup::run(app);
}
