package i2cdln;

/**
 * One board's pulse width in a servo sequence.
 *
 * @param address the board's 7-bit address, 1..127
 * @param microseconds the pulse width, 0..65535 µs
 */
public record ServoPulse(int address, int microseconds) {}
