package i2cdln;

import java.util.List;

/**
 * The entry to the typed API: builds the objects for the adapter and the devices on its buses.
 * Building an object does nothing on the bus; every object is immutable (the laser ranger
 * serialises its own state) and safe to share between threads.
 *
 * <p>A {@code Dln} keeps an adapter session (connected, adapter 0 open, I2C port 0 enabled)
 * open between calls, opened on first use: a raw read or write then costs one adapter call.
 * Calls from several threads at once each get a session of their own, so they never wait for
 * each other's board waits. A call that finds the connection lost fails, and the next one
 * opens a new session, so after an adapter server restart calls work again by themselves.
 * {@link #close()} releases the sessions.
 *
 * <p>Failures arrive as {@link DlnException}s carrying the native call's result code and its
 * name ({@link DlnException#resultCode()}): the adapter library's {@code DLN_RESULT}, such as
 * 0x44 (I2C NACK), or one of the typed library's own codes. Which subtype is thrown follows
 * from the code alone: {@link NoServerException} when no adapter server answers,
 * {@link NoDeviceException} when the device did not. Nothing is printed and no file is
 * touched.
 *
 * <p><b>Worst-case times.</b> Each call states its worst case in the bounds of the native calls
 * it makes: a native call makes no further adapter call once its bound has passed, so it ends
 * within its bound plus the adapter call in flight at that moment (our adapter library ends
 * every adapter call within 2 s). A call that finds no open session first opens one, within
 * {@value #OPEN_BOUND_MS} ms plus the call in flight.
 */
public final class Dln implements AutoCloseable {
    /** The adapter server's port when {@code DLN_SERVER} does not name one. */
    public static final int DEFAULT_PORT = ServerAddress.FIXED_PORT;
    /** The bound of opening a session (connect, open adapter 0, enable I2C port 0), in ms. */
    public static final int OPEN_BOUND_MS = 3000;

    private final ServerAddress server;
    private volatile Session session; // opened on the first device call: it loads the library

    private Dln(ServerAddress server) {
        this.server = server;
    }

    /**
     * The entry for the adapter server named by {@code DLN_SERVER}, or localhost:9656 when it
     * is unset or empty. Loads the native library and opens the adapter session on the first
     * device call, not
     * here.
     *
     * @return the entry
     * @throws IllegalArgumentException when {@code DLN_SERVER} is malformed: our adapter
     *     library then connects nowhere, and no other address may stand in for it
     */
    public static Dln create() {
        return new Dln(ServerAddress.fromEnvironment());
    }

    /**
     * The adapter server's address, as our adapter library reads it; messages of
     * {@link NoServerException} name it.
     *
     * @return the adapter server's host and port, printed as "host:port"
     */
    public ServerAddress serverAddress() {
        return server;
    }

    /**
     * Closes the adapter sessions this entry keeps open. Objects built from it stay usable: their
     * next call opens a session again. The laser ranger keeps its own.
     */
    @Override
    public void close() {
        Session open = session;
        if (open != null) {
            open.close();
        }
    }

    /** The sessions of this entry, created on first use. */
    Session session() {
        Session open = session;
        if (open == null) {
            synchronized (this) {
                open = session;
                if (open == null) {
                    open = new Session(server);
                    session = open;
                }
            }
        }
        return open;
    }

    /**
     * The adapter itself: its description and the bus scan.
     *
     * @return the adapter
     */
    public Adapter adapter() {
        return new Adapter(this);
    }

    /**
     * A device on the I2C bus, for raw reads and writes and register access.
     *
     * @param address the 7-bit address, 1..127
     * @return the device
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public I2cDevice i2c(int address) {
        return new I2cDevice(this, checkAddress("I2cDevice", address));
    }

    /**
     * A device on the SPI bus with the settings every transfer uses.
     *
     * @param line the slave-select line, 0..3
     * @param mode the SPI mode, 0..3: bit 0 is the clock polarity (CPOL), bit 1 the clock phase
     *     (CPHA)
     * @param frequencyHz the clock frequency requested, 1 Hz or more; the adapter picks the
     *     nearest it can make
     * @return the device
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     */
    public SpiDevice spi(int line, int mode, int frequencyHz) {
        return new SpiDevice(this, line, mode, frequencyHz);
    }

    /**
     * The serial EEPROM on an SPI line.
     *
     * @param line the slave-select line, 0..3
     * @return the EEPROM
     * @throws ArgumentOutOfRangeException when the line is outside 0..3
     */
    public SpiEeprom eeprom(int line) {
        return new SpiEeprom(this, line);
    }

    /**
     * One servo board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the board
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public ServoBoard servo(int address) {
        return new ServoBoard(this, checkAddress("ServoBoard", address));
    }

    /**
     * Two servo boards driven by one call.
     *
     * @param first the first board's 7-bit address, 1..127
     * @param second the second board's 7-bit address, 1..127
     * @return the pair
     * @throws ArgumentOutOfRangeException when an address is outside 1..127
     */
    public ServoPair servos(int first, int second) {
        return new ServoPair(this, checkAddress("ServoPair", first),
                checkAddress("ServoPair", second));
    }

    /**
     * Sets the pulse widths of up to 63 servo boards in one call: every board first gets the
     * 0xA3 command with the parameter, then each its 0xA1 command with its width, in list
     * order. No waits: five exchanges of three adapter calls per board, 15 adapter calls each.
     * Worst case: its native call's bound of 2 s (see the class on worst-case times).
     *
     * <p>A failure while the server answers leaves every listed board in doubt (see
     * {@link ServoBoard}): the call does not say at which board it stopped. A board already in
     * doubt is refused before anything is sent.
     *
     * @param parameter the parameter byte every board receives with its 0xA3 command, 0..255
     * @param pulses the boards and their widths, 1 to 63 of them
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws BoardInDoubtException when a listed board is in doubt after a failed command
     * @throws NoDeviceException when a board did not answer; the listed boards are in doubt
     * @throws NoServerException when no adapter server answers
     */
    public void servoSequence(int parameter, List<ServoPulse> pulses) {
        String method = "Dln.servoSequence";
        String device = "I2C servo boards";
        ArgumentOutOfRangeException.check(method, device, "parameter", parameter, 0, 255);
        ArgumentOutOfRangeException.check(method, device, "number of boards", pulses.size(), 1,
                63);
        int count = pulses.size();
        int[] addresses = new int[count];
        int[] highs = new int[count];
        int[] lows = new int[count];
        for (int i = 0; i < count; i++) {
            ServoPulse pulse = pulses.get(i);
            checkAddress(method, pulse.address());
            ServoBoard.checkWidth(method, i2cName(pulse.address()), pulse.microseconds());
            ServoDoubt.refuse(method, pulse.address());
            addresses[i] = pulse.address();
            highs[i] = pulse.microseconds() >> 8;
            lows[i] = pulse.microseconds() & 0xFF;
        }
        Session.Outcome outcome = session().attempt(method, device, handle ->
                NativeSession.servoSequence(handle, parameter, addresses, highs, lows, count),
                () -> false);
        if (!outcome.ok()) {
            DlnException failure = session().failure(method, device, outcome);
            for (int address : addresses) {
                ServoDoubt.mark(address, outcome.code(), failure);
            }
            throw failure;
        }
    }

    /**
     * The ADC/DAC board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the board
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public AdcDacBoard adcDac(int address) {
        return new AdcDacBoard(this, checkAddress("AdcDacBoard", address));
    }

    /**
     * The ultrasonic ranger board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the ranger
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public UltrasonicRanger ultrasonic(int address) {
        return new UltrasonicRanger(this, checkAddress("UltrasonicRanger", address));
    }

    /**
     * The motor-speed board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the board
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public MotorBoard motor(int address) {
        return new MotorBoard(this, checkAddress("MotorBoard", address));
    }

    /**
     * The laser ranger (the time-of-flight sensor at 0x29). The robot has one sensor, so every
     * call in the process returns the same object, which keeps an adapter session of its own.
     *
     * @return the process's laser ranger
     */
    public LaserRanger laser() {
        return LaserRanger.shared(this);
    }

    static int checkAddress(String method, int address) {
        if (address < 1 || address > 127) {
            throw new ArgumentOutOfRangeException(method, "I2C " + address,
                    "address " + address + " is outside 1..127 (7-bit addresses)");
        }
        return address;
    }

    static String i2cName(int address) {
        return String.format("I2C 0x%02x", address);
    }
}
