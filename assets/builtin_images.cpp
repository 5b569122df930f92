// builtin_images.cpp -- placeholder until the built-in images land
