#include "Connector.h"

int main() { return WinMain(); }
