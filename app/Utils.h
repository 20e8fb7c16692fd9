#pragma once

// Stateless helpers called on the class. DelayT is the program's fixed pause.
class Utils {
 public:
  // Sleeps the calling thread for ms milliseconds; 0 or a negative value returns at once.
  static void DelayT(int ms);
};
