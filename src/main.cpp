// The program's entry: Allegro supplies the platform's entry around main.
#include "tolbrint.h"

int main(int argc, char **argv)
{
    return game_main(argc, argv);
}
END_OF_MAIN()
