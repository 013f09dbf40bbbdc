// A sketch for the virtual board's own tests: it answers line commands on the serial port
// (115200 baud) with one line each, so that a test sees what the chip reads on its pins and makes
// it drive them. After a reset it prints "boot" and the board ID stored in EEPROM ('-' for none).
//
//   i N            pin N an input with pull-up        -> ok
//   r N            digitalRead(N)                     -> 0 | 1
//   e A B          count quadrature detents on A, B   -> ok
//   c              the detents counted, net           -> COUNT
//   a N            analogRead(N)                      -> VALUE
//   w N V          pin N an output at V               -> ok
//   p N V          analogWrite(N, V)                  -> ok
//   s D C L B...   bytes shifted out MSB first on data D, clock C, then latch L pulsed -> ok
//   m D C L A V    a 16-bit word (A, V) to a MAX7219: LOAD L low, D/C clocked, L high -> ok
//   t S D N        |N| step pulses on S, D high for positive N -> ok
//   u N US         one high pulse of US microseconds on N -> ok
//   z MS           answers, reads nothing for MS milliseconds -> ok, then done
//   x B...         one SPI frame as the bus master: select pin 10 low, the bytes (8 MHz),
//                  select high                                   -> the bytes read, in decimal
#include <Arduino.h>
#include <EEPROM.h>
#include <stdlib.h>

namespace {

char line[64];
uint8_t length = 0;
int encoderA = -1, encoderB = -1;
uint8_t encoderState = 3;
int quarterSteps = 0;

// The positions of the quadrature states (A << 1 | B) in the cycle of a positive turn.
const uint8_t kQuadraturePosition[4] = {2, 1, 3, 0};

void PollEncoder() {
    if (encoderA < 0) return;
    const uint8_t state = (digitalRead(encoderA) << 1) | digitalRead(encoderB);
    if (state == encoderState) return;
    const uint8_t step = (kQuadraturePosition[state] - kQuadraturePosition[encoderState]) & 3;
    if (step == 1) ++quarterSteps;
    if (step == 3) --quarterSteps;
    encoderState = state;
}

void Pulse(int pin, unsigned int micros) {
    noInterrupts();
    digitalWrite(pin, HIGH);
    delayMicroseconds(micros);
    digitalWrite(pin, LOW);
    interrupts();
}

void Run(char command, long* arg, int count) {
    switch (command) {
        case 'i':
            pinMode(arg[0], INPUT_PULLUP);
            break;
        case 'r':
            Serial.println(digitalRead(arg[0]));
            return;
        case 'e':
            encoderA = arg[0];
            encoderB = arg[1];
            pinMode(encoderA, INPUT_PULLUP);
            pinMode(encoderB, INPUT_PULLUP);
            encoderState = 3;
            quarterSteps = 0;
            break;
        case 'c':
            Serial.println(quarterSteps / 4);
            return;
        case 'a':
            Serial.println(analogRead(arg[0]));
            return;
        case 'w':
            pinMode(arg[0], OUTPUT);
            digitalWrite(arg[0], arg[1] ? HIGH : LOW);
            break;
        case 'p':
            pinMode(arg[0], OUTPUT);
            analogWrite(arg[0], arg[1]);
            break;
        case 's':
        case 'm':
            for (int i = 0; i < 3; ++i) pinMode(arg[i], OUTPUT);
            digitalWrite(arg[2], LOW);
            for (int i = 3; i < count; ++i) shiftOut(arg[0], arg[1], MSBFIRST, arg[i]);
            digitalWrite(arg[2], HIGH);
            break;
        case 't':
            pinMode(arg[0], OUTPUT);
            pinMode(arg[1], OUTPUT);
            digitalWrite(arg[1], arg[2] > 0 ? HIGH : LOW);
            for (long i = 0; i < labs(arg[2]); ++i) Pulse(arg[0], 5);
            break;
        case 'u':
            pinMode(arg[0], OUTPUT);
            Pulse(arg[0], arg[1]);
            break;
        case 'x':
            pinMode(SS, OUTPUT);
            pinMode(SCK, OUTPUT);
            pinMode(MOSI, OUTPUT);
            pinMode(10, OUTPUT);
            SPCR = _BV(SPE) | _BV(MSTR);
            SPSR = _BV(SPI2X);
            digitalWrite(10, LOW);
            for (int i = 0; i < count; ++i) {
                SPDR = arg[i];
                while (!(SPSR & _BV(SPIF))) {
                }
                arg[i] = SPDR;
            }
            digitalWrite(10, HIGH);
            for (int i = 0; i < count; ++i) {
                Serial.print(arg[i]);
                Serial.print(i + 1 < count ? " " : "\r\n");
            }
            return;
        case 'z':
            Serial.println("ok");
            Serial.flush();
            delay(arg[0]);
            Serial.println("done");
            return;
        default:
            return;  // not a command (an empty line, a byte of the plug-in's upload)
    }
    Serial.println("ok");
}

void Handle() {
    line[length] = '\0';
    long arg[8];
    int count = 0;
    char* at = line + 1;
    for (char* end; count < 8; at = end) {
        arg[count] = strtol(at, &end, 10);
        if (end == at) break;
        ++count;
    }
    if (length > 0) Run(line[0], arg, count);
    length = 0;
}

}  // namespace

void setup() {
    Serial.begin(115200);
    Serial.print("boot ");
    if (EEPROM.read(0) == 0xC7)
        Serial.println(EEPROM.read(1));
    else
        Serial.println('-');
}

void loop() {
    PollEncoder();
    while (Serial.available() > 0) {
        const char c = Serial.read();
        if (c == '\n')
            Handle();
        else if (length < sizeof line - 1)
            line[length++] = c;
    }
}
