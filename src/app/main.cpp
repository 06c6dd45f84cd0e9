#include "app/application.h"

int main(int argc, char** argv) { return kavo::runApplication(argc, argv); }
