#include "program.h"
#include "reader_window.h"

int main(int argc, char* argv[])
{
    return ui::runProgram<reader::Main_Reader>(argc, argv);
}
