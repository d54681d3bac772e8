#include <iostream>

#include "app/batch.h"

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    return hybridsim::runBatch(argc, argv, std::cout, std::cerr);
}
