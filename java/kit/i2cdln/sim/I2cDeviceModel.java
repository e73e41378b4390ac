package i2cdln.sim;

/**
 * A device on the simulated I2C bus, written in Java: a board of your own that dln-sim has no
 * model of. Attach it with {@link SimDevice} on the test class or {@link SimRobot#attach}; the
 * typed API and the fifteen native methods then reach it like any board.
 *
 * <pre>{@code
 * public class Thermometer implements I2cDeviceModel {
 *     private final int[][] registers = {{21, 128}, {0}}; // 21.5 degrees; configuration
 *     private int pointer;
 *
 *     public void write(int[] bytes) {
 *         if (bytes.length == 0 || bytes[0] >= registers.length) {
 *             throw DeviceFailure.nack();
 *         }
 *         pointer = bytes[0];
 *         for (int i = 1; i < bytes.length && i <= registers[pointer].length; i++) {
 *             registers[pointer][i - 1] = bytes[i];
 *         }
 *     }
 *
 *     public int[] read(int count) {
 *         int[] value = new int[count];
 *         for (int i = 0; i < count; i++) {
 *             value[i] = registers[pointer][i % registers[pointer].length];
 *         }
 *         return value;
 *     }
 * }
 * }</pre>
 */
public interface I2cDeviceModel extends DeviceModel {
    /**
     * A write to the device: the whole transfer, memory address bytes first. A read with a
     * memory address comes as a write of the address bytes, then the read.
     *
     * @param bytes the bytes the master sent, each 0..255
     * @throws DeviceFailure to fail the transfer, such as {@link DeviceFailure#nack()}
     */
    void write(int[] bytes);

    /**
     * A read from the device.
     *
     * @param count how many bytes the master reads
     * @return exactly {@code count} bytes, each 0..255
     * @throws DeviceFailure to fail the transfer, such as {@link DeviceFailure#nack()}
     */
    int[] read(int count);
}
