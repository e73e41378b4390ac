package i2cdln;

import java.io.IOException;
import java.net.InetSocketAddress;
import java.net.Socket;
import java.util.List;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.TimeUnit;
import java.util.concurrent.TimeoutException;

/**
 * The entry to the typed API: builds the objects for the adapter and the devices on its buses.
 * Building an object does nothing on the bus; every object is immutable (the laser ranger
 * serialises its own state) and safe to share between threads.
 *
 * <p>Failures arrive as {@link DlnException}s. The native methods never say whether a call
 * worked; the objects tell from the slots a method writes (see each method). To tell "no adapter
 * server" ({@link NoServerException}) from "no device" ({@link NoDeviceException}), a failed call
 * then tries one TCP connection to the server address, closed at once: it costs one connection on
 * the failure path only and nothing when calls succeed. The address is that of our adapter
 * library, {@link ServerAddress#fromEnvironment()}: {@code DLN_SERVER} ("host:port",
 * "[v6-address]:port" or a port), else localhost:9656, the maker's fixed address. The probe,
 * name lookup included, ends within {@value #PROBE_BOUND_MS} ms.
 */
public final class Dln {
    /** The adapter server's port when {@code DLN_SERVER} does not name one. */
    public static final int DEFAULT_PORT = ServerAddress.FIXED_PORT;
    /** The longest a failed call's probe of the server takes, name lookup included. */
    public static final int PROBE_BOUND_MS = 500;
    private static final int PROBE_TIMEOUT_MS = 300;
    private static final ExecutorService PROBES = Executors.newCachedThreadPool(task -> {
        Thread thread = new Thread(task, "i2cdln server probe");
        thread.setDaemon(true); // a name lookup that never ends must not keep the JVM alive
        return thread;
    });

    private final ServerAddress server;

    private Dln(ServerAddress server) {
        this.server = server;
    }

    /**
     * The entry for the adapter server named by {@code DLN_SERVER}, or localhost:9656 when it
     * is unset or empty. Loads the native library on the first device call, not here.
     *
     * @return the entry
     * @throws IllegalArgumentException when {@code DLN_SERVER} is malformed: our adapter
     *     library then connects nowhere, and no other address may stand in for it
     */
    public static Dln create() {
        return new Dln(ServerAddress.fromEnvironment());
    }

    /**
     * The address a failed call probes to tell a missing server from a missing device.
     *
     * @return the adapter server's host and port, printed as "host:port"
     */
    public ServerAddress serverAddress() {
        return server;
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
        return new I2cDevice(this, checkAddress("read", address));
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
     * The serial EEPROM on an SPI line (mode 0, 1 MHz for its transfers).
     *
     * @param line the slave-select line, 0..3
     * @return the EEPROM
     * @throws ArgumentOutOfRangeException when the line is outside 0..3
     */
    public SpiEeprom eeprom(int line) {
        return new SpiEeprom(new SpiDevice(this, line, 0, SpiEeprom.FREQUENCY_HZ));
    }

    /**
     * One servo board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the board
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public ServoBoard servo(int address) {
        return new ServoBoard(this, checkAddress("dualServo_1500_PWM", address));
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
        return new ServoPair(this, checkAddress("dualServo_1500_PWM", first),
                checkAddress("dualServo_1500_PWM", second));
    }

    /**
     * Sets the pulse widths of up to 63 servo boards in one connection: every board first gets
     * the parameter, then each its width, in list order ({@code I2C_Servo_PWM_Sequence}).
     *
     * <p>The native method hands nothing back, so a failure (no server, a board missing, a
     * NACK) is not observable and this method cannot report it; it appears only in the
     * library's printed lines. Read the boards' currents or use {@link ServoPair} where a
     * confirmation is needed. Since its failures are not seen, they leave no board in doubt
     * (see {@link ServoBoard}); a board already in doubt is refused. Blocks for the round
     * trips only: 15 adapter calls per board plus 8 for the connection; worst case the native
     * method's bound.
     *
     * @param parameter the parameter byte every board receives with its 0xA3 command, 0..255
     * @param pulses the boards and their widths, 1 to 63 of them
     * @throws ArgumentOutOfRangeException when an argument is outside its range
     * @throws BoardInDoubtException when a listed board is in doubt after a failed command
     */
    public void servoSequence(int parameter, List<ServoPulse> pulses) {
        String method = Native.SERVO_SEQUENCE.javaName;
        ArgumentOutOfRangeException.check(method, "I2C servo boards", "parameter", parameter, 0,
                255);
        ArgumentOutOfRangeException.check(method, "I2C servo boards", "number of boards",
                pulses.size(), 1, 63);
        int[] slots = new int[255];
        slots[0] = pulses.size();
        slots[1] = parameter;
        for (int i = 0; i < pulses.size(); i++) {
            ServoPulse pulse = pulses.get(i);
            checkAddress(method, pulse.address());
            ServoBoard.checkWidth(method, i2cName(pulse.address()), pulse.microseconds());
            ServoDoubt.refuse(method, pulse.address());
            slots[2 + 4 * i] = pulse.address();
            slots[3 + 4 * i] = pulse.microseconds() >> 8;
            slots[4 + 4 * i] = pulse.microseconds() & 0xFF;
        }
        Native.SERVO_SEQUENCE.call(slots);
    }

    /**
     * The ADC/DAC board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the board
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public AdcDacBoard adcDac(int address) {
        return new AdcDacBoard(this, checkAddress("adcsdac", address));
    }

    /**
     * The ultrasonic ranger board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the ranger
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public UltrasonicRanger ultrasonic(int address) {
        return new UltrasonicRanger(this, checkAddress("Ultra_Sonic", address));
    }

    /**
     * The motor-speed board.
     *
     * @param address the board's 7-bit address, 1..127
     * @return the board
     * @throws ArgumentOutOfRangeException when the address is outside 1..127
     */
    public MotorBoard motor(int address) {
        return new MotorBoard(this, checkAddress("ReadMotorSpeeds", address));
    }

    /**
     * The laser ranger (the time-of-flight sensor at 0x29). The library keeps one sensor
     * connection per process, so every call returns the same object.
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

    /**
     * True when the adapter server accepts a TCP connection: the one extra observation a failed
     * call makes.
     */
    boolean serverAnswers() {
        Future<Boolean> probe = PROBES.submit(() -> {
            try (Socket socket = new Socket()) {
                socket.connect(new InetSocketAddress(server.host(), server.port()),
                        PROBE_TIMEOUT_MS);
                return true;
            } catch (IOException e) {
                return false;
            }
        });
        try {
            return probe.get(PROBE_BOUND_MS, TimeUnit.MILLISECONDS);
        } catch (TimeoutException | ExecutionException e) {
            probe.cancel(true);
            return false;
        } catch (InterruptedException e) {
            probe.cancel(true);
            Thread.currentThread().interrupt();
            return false;
        }
    }

    /** The exception for a call whose slots show a failure: no server, else no device. */
    DlnException failure(String method, String device, String what) {
        return failure(method, device, what, serverAnswers());
    }

    /** As above, when the server was probed already. */
    DlnException failure(String method, String device, String what, boolean serverAnswers) {
        if (!serverAnswers) {
            return new NoServerException(method, device, what + "; no adapter server answers at "
                    + server);
        }
        return new NoDeviceException(method, device, what);
    }
}
