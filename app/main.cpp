#include "app/Program.h"

int main(int argc, char** argv)
{
    return orvela::RunProgram(argc, argv);
}
