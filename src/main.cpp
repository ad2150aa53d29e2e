#include "startup.h"

int main(int argc, char **argv)
{
    return vt::RunApplication(argc, argv);
}
