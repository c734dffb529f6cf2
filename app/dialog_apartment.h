// The common file dialogs shown from job threads.
#pragma once

// Wine's file dialog stops appearing after a few dozen threads have shown it, unless each
// thread enters COM's multithreaded apartment first. Windows needs no such thing. Held for as
// long as the dialog is up.
class DialogApartment {
  public:
    DialogApartment();
    ~DialogApartment();
    DialogApartment(const DialogApartment&) = delete;
    DialogApartment& operator=(const DialogApartment&) = delete;

  private:
    bool entered;
};
