#include "app/TamberlyApp.h"

int main(int argc, char** argv)
{
    return CTamberlyApp::Main(argc, argv);
}
