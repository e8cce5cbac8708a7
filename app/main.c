/* The demo game: dodge the obstacles "A" that scroll in from the left by
 * moving the player "W" between the two LCD lines with the switches.
 * SW1 up, SW2 down (or the help pages at the title), SW3 start or end a
 * pause, SW4 pause. A program like any other: it sees only wena.h. */
#include <wena.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "courses.h"

enum { SW1 = 0x02, SW2 = 0x04, SW3 = 0x08, SW4 = 0x10 };
enum { PLAYER_COLUMN = 10, HIT_SLOT = 2, SLOTS = 5, LCD_COLUMNS = 16 };

struct Slot {
    int column;
    int line;
};

static int32_t current_course[COURSE_CELLS];

static int high_score;
static int score;
static int player_line;
static int other_line;
static struct Slot slots[SLOTS]; /* slot 0 is the newest obstacle */
static int cell;
static int course_candidate;

/* A fresh folder has no WENA.ini and so no input board: plug in the toggle
 * switches, which the game is played with. O_EXCL creates the file only where
 * there is none, so a saved choice, or a file of any other kind or mode, is
 * never opened, emptied or waited on. (fopen's "x" does not do that with the
 * C library of MinGW, which ignores it.) */
static void plug_in_switches_on_first_run(void)
{
    static const char first_choice[] = "1,0,0";
    const char *scenario = getenv("WENA_SCENARIO");
    int fd;
    /* A scenario run writes no WENA.ini: its boards come from its own
     * "start boards" step. */
    if (scenario && *scenario)
        return;
    fd = open("WENA.ini", O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
        if (write(fd, first_choice, sizeof first_choice - 1) < 0) {
            /* no first choice then: the board starts without an input board */
        }
        close(fd);
    }
}

/* Each test of a switch reads PDR5 right after its own poll. */
static int switch_on(int mask)
{
    sim_poll();
    return (PDR5 & mask) != 0;
}

static void wait_for_switch(int mask)
{
    while (!switch_on(mask)) {
    }
}

static void write_line(int line, const char *text)
{
    lcd_goto(0, line);
    lcd_puts(text);
}

static void put_glyph(int column, int line, char glyph)
{
    if (column < 0 || column >= LCD_COLUMNS)
        return;
    lcd_goto(column, line);
    lcd_putc(glyph);
}

static void show_title(void)
{
    lcd_clear();
    write_line(0, "ｽﾀｰﾄ : SW3");
    write_line(1, "ｷﾉｳｾﾂﾒｲ : SW2");
}

static void show_help_pages(void)
{
    while (PDR5 & SW2) {
        Sleep(5);
        sim_poll();
    }
    lcd_clear();
    write_line(0, "ﾎﾟｰｽﾞ ; SW4");
    Sleep(1000);
    write_line(1, "ﾂｷﾞﾉﾍﾟｰｼﾞ : SW2");
    wait_for_switch(SW2);
    lcd_clear();
    write_line(0, "ﾎﾟｰｽﾞｶｲｼﾞｮ : SW3");
    Sleep(1000);
    write_line(1, "ｵﾜﾙ : SW1");
    wait_for_switch(SW1);
    show_title();
}

static void reset_game(void)
{
    score = 0;
    player_line = 0;
    other_line = 1;
    for (int i = 0; i < SLOTS; ++i)
        slots[i].column = 0;
    cell = 0;
}

/* The course is the candidate counter's value when SW3 is seen: it steps
 * once per pass, so the moment of the press picks the course. */
static void title_menu(void)
{
    reset_game();
    show_title();
    course_candidate = 0;
    for (;;) {
        if (switch_on(SW2))
            show_help_pages();
        if (switch_on(SW3)) {
            memcpy(current_course, courses[course_candidate], sizeof current_course);
            return;
        }
        Sleep(5);
        course_candidate = (course_candidate + 1) % COURSE_COUNT;
    }
}

static unsigned pause_per_poll(void)
{
    if (score < 10)
        return 6;
    if (score < 20)
        return 5;
    if (score < 30)
        return 4;
    if (score < 40)
        return 3;
    return 2;
}

static void game_over(void)
{
    lcd_clear();
    for (int i = 0; i < 6; ++i) {
        put_glyph(PLAYER_COLUMN, player_line, 'W');
        Sleep(150);
        put_glyph(PLAYER_COLUMN, player_line, 'A');
        Sleep(150);
    }
    if (score > high_score)
        high_score = score;
    lcd_clear();
    write_line(0, "ｹﾞｰﾑｵｰﾊﾞｰ!");
    Sleep(1000);
    lcd_clear();
    write_line(0, "ﾃﾝｽｳ  : ");
    lcd_putdec(score);
    lcd_puts(" ﾃﾝ");
    write_line(1, "ﾊｲｽｺｱ : ");
    lcd_putdec(high_score);
    lcd_puts(" ﾃﾝ");
    Sleep(2500);
}

static void restart_prompt(void)
{
    lcd_clear();
    write_line(0, "ﾓｳｲﾁﾄﾞ: SW1 ｦ ｵｽ");
    wait_for_switch(SW1);
}

/* One of the twenty polls of a step; false when the player is hit. With SW1
 * and SW2 both on, SW2 is read last and the player ends on the lower line. */
static int play_poll(void)
{
    if (switch_on(SW1)) {
        player_line = 0;
        other_line = 1;
    }
    if (switch_on(SW2)) {
        player_line = 1;
        other_line = 0;
    }
    put_glyph(PLAYER_COLUMN, other_line, ' ');
    put_glyph(PLAYER_COLUMN, player_line, 'W');
    if (slots[HIT_SLOT].column == PLAYER_COLUMN && slots[HIT_SLOT].line == player_line)
        return 0;
    if (switch_on(SW4))
        wait_for_switch(SW3);
    Sleep(pause_per_poll());
    return 1;
}

/* Obstacles are drawn at the end of the step, each blanking the column it
 * came from; the score goes last, over whatever lies under it. */
static void draw_step(void)
{
    for (int i = 0; i < SLOTS; ++i) {
        put_glyph(slots[i].column, slots[i].line, 'A');
        put_glyph(slots[i].column - 1, slots[i].line, ' ');
    }
    put_glyph(PLAYER_COLUMN, player_line, 'W');
    lcd_goto(13, 1);
    lcd_putdec(score);
}

/* Four steps of twenty polls; false when the player is hit. */
static int play_cell(void)
{
    ++score;
    slots[0].column = 0;
    slots[0].line = current_course[cell];
    for (int step = 0; step < 4; ++step) {
        for (int poll = 0; poll < 20; ++poll)
            if (!play_poll())
                return 0;
        draw_step();
        for (int i = 0; i < SLOTS; ++i)
            ++slots[i].column;
    }
    for (int i = SLOTS - 1; i > 0; --i)
        slots[i] = slots[i - 1];
    cell = (cell + 1) % COURSE_CELLS;
    return 1;
}

static void play(void)
{
    for (int i = 0; i < SLOTS; ++i) {
        slots[i].column = 0;
        slots[i].line = current_course[0];
    }
    lcd_clear();
    while (play_cell()) {
    }
}

static const char usage[] =
    "usage: wena-demo [--help | --version]\n"
    "The demo game on the simulated H8/3664F training board, in this terminal.\n"
    "Dodge the obstacles \"A\" that come in from the left by moving the player\n"
    "\"W\" between the two LCD lines with the toggle switches: keys 1 to 4 flip\n"
    "SW1 to SW4. SW3 starts, SW2 at the title opens the help, Q quits.\n"
    "The first run in a folder writes WENA.ini there with the switch board in.\n"
    "Exit status: 1 after Q, 2 on a bad option.\n";

/* Options are read before the board takes the terminal, so that asking for
 * help never starts the game. */
static void read_options(int argc, char **argv)
{
    if (argc < 2)
        return;
    if (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0) {
        fputs(usage, stdout);
        exit(0);
    }
    if (strcmp(argv[1], "--version") == 0) {
        printf("wena-demo %s\n", WENA_VERSION);
        exit(0);
    }
    fprintf(stderr, "wena-demo: %s '%s'\nTry 'wena-demo --help' for more.\n",
            argv[1][0] == '-' ? "unknown option" : "unexpected argument", argv[1]);
    exit(2);
}

int main(int argc, char **argv)
{
    read_options(argc, argv);
    plug_in_switches_on_first_run();
    high_score = 0;
    lcd_cursor_off();
    for (;;) {
        title_menu();
        play();
        game_over();
        restart_prompt();
    }
}
