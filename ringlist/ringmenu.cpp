// ringmenu.cpp: the console menus of the circular list. `ringmenu` clears the screen, asks
// whether to insert or delete, shows the nine-entry menu of that kind, turns the chosen entry
// and the numbers typed into calls of the list store (cir_store.cpp), and asks after every
// operation whether to go on. A host program calls it and supplies `cir_display`, which the
// deletion menu calls after every deletion. It returns 0 when the user answers 'n' or when
// standard input ends. Part of ringmenu.o.
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "cir_read.h"
#include "int_read.h"

#pragma GCC visibility push(default)
#include "ringlist.h"
#pragma GCC visibility pop

namespace {

constexpr char kTopMenu[] =
    "\n   OPERATIONS TO BE PERFORMED ON CSLL"
    "\n  1.INSERT\n  2.DELETE\nDo you want to insert or delete? :";
constexpr char kInsertMenu[] =
    "\n\t       MENU FOR CSLL ISNERTION        \n\n\t1. Insert at the beginning\n\t2. Insert at "
    "the end\n\t3. Insert at a given position \n\t4. Insert before a given position\n\t5. Insert "
    "after a given position\n\t6. Insert before a given number\n\t7. Insert after a given "
    "number\n\t8. Insert at the middle\n\t9. Insert at penultimate c_node.";
constexpr char kDeleteMenu[] =
    "\n\t       MENU for CSLL DELETION      \n\n\t1. DELETE at the beginning\n\t2. DELETE at "
    "the end\n\t3. DELETE at a given position \n\t4. DELETE before a given position\n\t5. "
    "DELETE after a given position\n\t6. DELETE before a given number\n\t7. DELETE after a "
    "given number\n\t8. DELETE at the middle\n\t9. DELETE at penultimate c_node.";
constexpr char kOptionPrompt[] = "\nEnter the option:";

// How a step of a menu ended: carry on, or stop because standard input has ended.
enum class Flow { go_on, input_ended };

void clear_screen() noexcept {
    std::fflush(stdout);  // what was printed before belongs before the clear
    // The menus carry on whatever clear does (no terminal, no such command).
    // NOLINTNEXTLINE(cert-env33-c): the menus clear the screen with the clear command
    if (std::system("clear") != 0) return;
}

// p + delta, kept inside int: a position pushed past either end of int stays past it, so the
// store still rejects it (instead of the sum wrapping round into a valid position).
int shifted(int p, int delta) noexcept {
    const long long sum = static_cast<long long>(p) + delta;
    if (sum > INT_MAX) return INT_MAX;
    if (sum < INT_MIN) return INT_MIN;
    return static_cast<int>(sum);
}

// Reads the number an option asks for. False when it does not come: unreadable (with a
// message saying nothing was done) or the end of input (reported in `flow`).
bool read_number(int* number, const char* nothing_done, Flow* flow) noexcept {
    switch (read_int(number)) {
        case INT_READ_VALUE:
            return true;
        case INT_READ_UNREADABLE:
            std::printf("%s", nothing_done);
            return false;
        case INT_READ_ENDED:
            break;
    }
    *flow = Flow::input_ended;
    return false;
}

// Reads a menu choice; a token that is no number counts as a choice no menu offers.
Flow read_choice(int* choice) noexcept {
    switch (read_int(choice)) {
        case INT_READ_VALUE:
            return Flow::go_on;
        case INT_READ_UNREADABLE:
            *choice = 0;
            return Flow::go_on;
        case INT_READ_ENDED:
            break;
    }
    return Flow::input_ended;
}

// Prints `question` and reads the answer until it is 'y' or 'n'.
Flow ask_yes_no(const char* question, char* answer) noexcept {
    *answer = 'o';
    while (*answer != 'y' && *answer != 'n') {
        std::printf("%s", question);
        if (!cir_read_answer(answer)) return Flow::input_ended;
    }
    return Flow::go_on;
}

Flow after_store() noexcept { return cir_input_ended() ? Flow::input_ended : Flow::go_on; }

constexpr char kNothingInserted[] = "\nthat is not a number: nothing inserted";
constexpr char kNothingDeleted[] = "\nthat is not a number: nothing deleted";

// The question of each insertion option that needs a number (3 to 7); null for the others.
const char* insert_question(int choice) noexcept {
    switch (choice) {
        case 3:
            return "\nEnter the position you want to insert";
        case 4:
            return "\nEnter the position before which you want to insert";
        case 5:
            return "\nEnter the position after which you want to insert";
        case 6:
            return "enter number before which you want to insert";
        case 7:
            return "enter number after which you want to insert";
        default:
            return nullptr;
    }
}

// Options 1, 2, 8 and 9: an insertion at a place the list itself fixes.
void insert_at_fixed_place(int choice) noexcept {
    switch (choice) {
        case 1:
            cir_ins_beg();
            break;
        case 2:
            cir_ins_end();
            break;
        case 8:
            cir_ins_pos((size + 1) / 2 + 1);
            break;
        default:  // 9
            cir_ins_pos(size);
            break;
    }
}

// Options 3 to 5: an insertion at, before or after the position `number`.
void insert_at_position(int choice, int number) noexcept {
    if (choice == 4) {
        cir_ins_pos(shifted(number, -1));
    } else if (choice == 5) {
        cir_ins_pos(shifted(number, +1));
    } else if (number == size + 1) {
        cir_ins_end();
    } else {
        cir_ins_pos(number);
    }
}

// Options 6 and 7: an insertion before or after the first node that holds `value`.
void insert_by_value(int choice, int value) noexcept {
    const int found = cir_search(value);
    if (choice == 6) {
        if (found > 1) {
            cir_ins_pos(found);
        } else if (found == 1) {
            cir_ins_end();
        }
    } else if (found > 0 && found < size) {
        cir_ins_pos(found + 1);
    } else if (found == size) {
        cir_ins_beg();
    }
}

// Carries out insertion option `choice`.
Flow insert_option(int choice) noexcept {
    if (choice < 1 || choice > 9) {
        std::printf("\ninvalid option");
        return Flow::go_on;
    }
    const char* question = insert_question(choice);
    if (question == nullptr) {
        insert_at_fixed_place(choice);
        return after_store();
    }
    std::printf("%s", question);
    Flow flow = Flow::go_on;
    int number = 0;
    if (!read_number(&number, kNothingInserted, &flow)) return flow;
    if (choice <= 5) {
        insert_at_position(choice, number);
    } else {
        insert_by_value(choice, number);
    }
    return after_store();
}

// Carries out deletion option `choice`.
Flow delete_option(int choice) noexcept {
    Flow flow = Flow::go_on;
    int number = 0;
    switch (choice) {
        case 1:
            cir_del_pos(1);
            break;
        case 2:
            cir_del_pos(size);
            break;
        case 3:
            std::printf("\nEnter the position you want to Delete");
            if (!read_number(&number, kNothingDeleted, &flow)) return flow;
            cir_del_pos(number);
            break;
        case 4:
            std::printf("\nEnter the position before which you want to delete");
            if (!read_number(&number, kNothingDeleted, &flow)) return flow;
            cir_del_pos(shifted(number, -1));
            break;
        case 5:
            std::printf("\nEnter the position after which you want to delete");
            if (!read_number(&number, kNothingDeleted, &flow)) return flow;
            cir_del_pos(shifted(number, +1));
            break;
        case 6:
            std::printf("enter number before which you want to delete");
            if (!read_number(&number, kNothingDeleted, &flow)) return flow;
            number = cir_search(number);
            if (number != 0) cir_del_pos(number - 1);
            break;
        case 7:
            std::printf("enter number after which you want to delete");
            if (!read_number(&number, kNothingDeleted, &flow)) return flow;
            number = cir_search(number);
            if (number != 0) cir_del_pos(number + 1);
            break;
        case 8:
            cir_del_pos((size + 1) / 2);
            break;
        case 9:
            cir_del_pos(size - 1);
            break;
        default:
            std::printf("\ninvalid option");
            break;
    }
    return Flow::go_on;
}

Flow insertion_loop(char* answer) noexcept {
    int choice = 0;
    *answer = 'y';
    while (*answer == 'y') {
        clear_screen();
        std::printf("%s", kInsertMenu);
        cir_sll_display();
        std::printf("%s", kOptionPrompt);
        if (read_choice(&choice) == Flow::input_ended) return Flow::input_ended;
        if (insert_option(choice) == Flow::input_ended) return Flow::input_ended;
        cir_sll_display();
        if (ask_yes_no("\nDo you want to insert another element(y/n)?:", answer) ==
            Flow::input_ended) {
            return Flow::input_ended;
        }
    }
    return Flow::go_on;
}

Flow deletion_loop(char* answer) noexcept {
    int choice = 0;
    *answer = 'y';
    while (*answer == 'y') {
        clear_screen();
        std::printf("%s", kDeleteMenu);
        std::printf("%s", kOptionPrompt);
        if (read_choice(&choice) == Flow::input_ended) return Flow::input_ended;
        if (delete_option(choice) == Flow::input_ended) return Flow::input_ended;
        cir_display();
        if (ask_yes_no("\nDo you want to Delete another element(y/n)?:", answer) ==
            Flow::input_ended) {
            return Flow::input_ended;
        }
    }
    return Flow::go_on;
}

}  // namespace

extern "C" int ringmenu() noexcept {
    char answer = 'y';
    int choice = 0;
    while (answer == 'y') {
        clear_screen();
        std::printf("%s", kTopMenu);
        if (read_choice(&choice) == Flow::input_ended) break;
        Flow flow = Flow::go_on;
        if (choice == 1) {
            flow = insertion_loop(&answer);
        } else if (choice == 2) {
            flow = deletion_loop(&answer);
        } else {
            std::printf("\nINVALID option enter 1 or 2");
        }
        if (flow == Flow::input_ended) break;
        if (ask_yes_no("\nDo you want to perform another operation(y/n)?:", &answer) ==
            Flow::input_ended) {
            break;
        }
    }
    std::fflush(stdout);
    return 0;
}
