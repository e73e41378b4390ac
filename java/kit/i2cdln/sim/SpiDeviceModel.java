package i2cdln.sim;

/**
 * A device on one slave-select line of the simulated SPI bus, written in Java. Attach it with
 * {@link SimDevice} on the test class or {@link SimRobot#attachSpi}.
 *
 * <pre>{@code
 * SpiDeviceModel inverter = bytes -> Arrays.stream(bytes).map(b -> b ^ 0xFF).toArray();
 * }</pre>
 */
@FunctionalInterface
public interface SpiDeviceModel extends DeviceModel {
    /**
     * One full-duplex transfer while the line is selected.
     *
     * @param bytes the bytes the master sent, each 0..255
     * @return as many bytes as were sent, each 0..255: what the device sent back meanwhile
     * @throws DeviceFailure to fail the transfer
     */
    int[] transfer(int[] bytes);
}
