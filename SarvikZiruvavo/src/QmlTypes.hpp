// Registers the program's types for its QML documents.
#pragma once

void registerQmlTypes();
