#include "Platform/Base/Log.h"

int main(int argc, char** argv)
{
    base::log("Brivanta: the application start-up is not built yet.");
    return 0;
}
